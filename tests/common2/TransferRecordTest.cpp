#include <gtest/gtest.h>

#include <cstring>

#include "common2/GroupEventRecord.h"
#include "common2/ReceivePacketRecord.h"

namespace {

TEST(ReceivePacketRecordTest, LayoutIsPackedLittleEndian) {
  TKT5MirelKT5ReceivePacket packet;
  packet.PacketKind = 2;
  packet.IncomingDateTime = 45356.5;
  packet.PhoneNumber = "0312345678";
  packet.NumberKind = 1;
  packet.EventDateTime = -1.25;
  packet.NoDateTime = true;
  packet.Unanswered = true;
  const auto record = PackReceivePacket(packet);
  static_assert(sizeof(record.Bytes) == 42);
  EXPECT_EQ(record.Bytes[0], 2);
  double value = 0;
  std::memcpy(&value, &record.Bytes[1], 8);
  EXPECT_EQ(value, 45356.5);
  EXPECT_EQ(record.Bytes[9], 10);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&record.Bytes[10]), 10), "0312345678");
  EXPECT_EQ(record.Bytes[30], 1);
  std::memcpy(&value, &record.Bytes[31], 8);
  EXPECT_EQ(value, -1.25);
  EXPECT_EQ(record.Bytes[39], 1);
  EXPECT_EQ(record.Bytes[40], 0);
  EXPECT_EQ(record.Bytes[41], 1);

  TKT5MirelKT5ReceivePacket back;
  back.Answered = true;
  UnpackReceivePacket(record, back);
  EXPECT_EQ(back.PacketKind, 2);
  EXPECT_EQ(back.IncomingDateTime, 45356.5);
  EXPECT_EQ(back.PhoneNumber, "0312345678");
  EXPECT_EQ(back.EventDateTime, -1.25);
  EXPECT_TRUE(back.NoDateTime);
  EXPECT_FALSE(back.Answered);
  EXPECT_TRUE(back.Unanswered);
}

TEST(ReceivePacketRecordTest, LengthByteDecidesTheNumber) {
  TReceivePacketRecord record;
  record.Bytes[9] = 3;
  std::memcpy(&record.Bytes[10], "12345", 5);
  TKT5MirelKT5ReceivePacket packet;
  UnpackReceivePacket(record, packet);
  EXPECT_EQ(packet.PhoneNumber, "123");
  // A length beyond the field is cut to the field.
  record.Bytes[9] = 200;
  UnpackReceivePacket(record, packet);
  EXPECT_EQ(packet.PhoneNumber.size(), 20u);
}

TEST(ReceivePacketRecordTest, LongNumbersAreCutToTwentyCharacters) {
  TKT5MirelKT5ReceivePacket packet;
  packet.PhoneNumber = std::string(30, '7');
  const auto record = PackReceivePacket(packet);
  EXPECT_EQ(record.Bytes[9], 20);
  EXPECT_EQ(record.Bytes[30], 0); // NumberKind untouched by the text
}

TEST(GroupEventRecordTest, EveryFieldAtItsOffsetAndBack) {
  TKT5GroupEventArgs args;
  args.PacketKind = 7;
  args.GroupNo = -2;
  args.KyokuseiHantenReceived = true;
  args.KyokuseiHantenAt = 1.5;
  args.NumberReceived = true;
  args.IncomingDateTime = 2.5;
  args.NumberReceivedAt = 3.5;
  args.PhoneNumber = "P";
  args.NumberKind = 2;
  args.OffHookReceived = true;
  args.OffHookDateTime = 4.5;
  args.OffHookReceivedAt = 5.5;
  args.RingSeconds = 0x01020304;
  args.OnHookReceived = true;
  args.OnHookDateTime = 6.5;
  args.OnHookReceivedAt = 7.5;
  args.TalkSeconds = 99;
  args.UnansweredReceived = true;
  args.UnansweredDateTime = 8.5;
  args.UnansweredReceivedAt = 9.5;
  const auto record = PackGroupEvent(args);
  static_assert(sizeof(record.Bytes) == 112);
  const auto& b = record.Bytes;
  EXPECT_EQ(b[0], 7);
  EXPECT_EQ(b[1], 0xfe);
  EXPECT_EQ(b[4], 0xff);
  EXPECT_EQ(b[5], 1);
  double d = 0;
  std::memcpy(&d, &b[6], 8);
  EXPECT_EQ(d, 1.5);
  EXPECT_EQ(b[31], 1);
  EXPECT_EQ(b[32], 'P');
  EXPECT_EQ(b[52], 2);
  EXPECT_EQ(b[70], 0x04);
  EXPECT_EQ(b[73], 0x01);
  std::memcpy(&d, &b[104], 8);
  EXPECT_EQ(d, 9.5);

  TKT5GroupEventArgs back;
  UnpackGroupEvent(record, back);
  EXPECT_EQ(PackGroupEvent(back).Bytes, record.Bytes);
  EXPECT_EQ(back.GroupNo, -2);
  EXPECT_EQ(back.PhoneNumber, "P");
  EXPECT_EQ(back.TalkSeconds, 99);
}

TEST(GroupEventArgsTest, ClearKeepsNumberAndDurations) {
  TKT5GroupEventArgs args;
  args.PacketKind = 4;
  args.GroupNo = 5;
  args.NumberReceived = true;
  args.NumberReceivedAt = 3;
  args.PhoneNumber = "0312345678";
  args.NumberKind = 1;
  args.RingSeconds = 7;
  args.TalkSeconds = 8;
  args.UnansweredReceived = true;
  args.Clear();
  EXPECT_EQ(args.PacketKind, 0);
  EXPECT_EQ(args.GroupNo, 0);
  EXPECT_FALSE(args.NumberReceived);
  EXPECT_FALSE(args.UnansweredReceived);
  EXPECT_EQ(args.NumberReceivedAt, 0);
  EXPECT_EQ(args.PhoneNumber, "0312345678");
  EXPECT_EQ(args.NumberKind, 1);
  EXPECT_EQ(args.RingSeconds, 7);
  EXPECT_EQ(args.TalkSeconds, 8);

  auto clone = args.Clone();
  clone->PhoneNumber = "x";
  EXPECT_EQ(args.PhoneNumber, "0312345678");
  TKT5GroupEventArgs other;
  args.AssignTo(other);
  EXPECT_EQ(other.TalkSeconds, 8);
}

} // namespace

TEST(TransferRecordText, NumbersTravelInCp932AndComeBackWhole) {
  TKT5GroupEventArgs args;
  args.PhoneNumber = "電話0312";
  const TGroupEventRecord record = PackGroupEvent(args);
  EXPECT_EQ(record.Bytes[31], 8); // two double-byte characters and four digits
  EXPECT_EQ(record.Bytes[32], 0x93);
  TKT5GroupEventArgs back;
  UnpackGroupEvent(record, back);
  EXPECT_EQ(back.PhoneNumber, "電話0312");
}

TEST(TransferRecordText, CutNeverSplitsADoubleByteCharacter) {
  TKT5GroupEventArgs args;
  args.PhoneNumber = std::string(19, '0') + "電";
  TKT5GroupEventArgs back;
  UnpackGroupEvent(PackGroupEvent(args), back);
  EXPECT_EQ(back.PhoneNumber, std::string(19, '0'));
}
