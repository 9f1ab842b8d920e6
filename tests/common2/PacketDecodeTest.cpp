#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Clock.h"
#include "common2/MirelKT5ReceivePacket.h"
#include "common2/PacketDecode.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& s) {
  return {s.begin(), s.end()};
}

template <typename Packet> Packet Raw(const std::string& s) {
  Packet packet{};
  EXPECT_EQ(s.size(), packet.size());
  std::copy(s.begin(), s.end(), packet.begin());
  return packet;
}

std::string Pad(const std::string& s, size_t width = 20) {
  std::string out = s;
  out.resize(width, ' ');
  return out;
}

class DateTimeFieldTest : public ::testing::Test {
protected:
  void TearDown() override { ClearFixedNow(); }

  static TDateTime Decode(const std::string& field, bool* noDateTime = nullptr) {
    const auto bytes = Bytes("x" + field);
    TDateTime result = -1;
    bool flag = true;
    DecodePacketDateTime(bytes, 1, result, flag);
    if (noDateTime != nullptr)
      *noDateTime = flag;
    return result;
  }
};

TEST_F(DateTimeFieldTest, NewYearReadsLastDecemberFromThePreviousYear) {
  // 31 December 2023 is a Sunday; 2022's was a Saturday.
  SetFixedNow(EncodeDate(2023, 1, 2) + 0.5);
  bool noDateTime = true;
  const TDateTime value = Decode("123161610", &noDateTime);
  EXPECT_FALSE(noDateTime);
  EXPECT_DOUBLE_EQ(value, EncodeDateTime({2022, 12, 31, 16, 10, 0, 0}));
}

TEST_F(DateTimeFieldTest, ThisYearWinsWhenTheWeekdayFits) {
  SetFixedNow(EncodeDate(2024, 3, 10));
  // 5 March 2024 was a Tuesday (2).
  EXPECT_DOUBLE_EQ(Decode("030520708"), EncodeDateTime({2024, 3, 5, 7, 8, 0, 0}));
}

TEST_F(DateTimeFieldTest, LeapDayGoesToTheLeapYearWithThatWeekday) {
  SetFixedNow(EncodeDate(2026, 6, 1));
  // 29 Feb: 2024 Thursday (4), 2020 Saturday (6), 2016 Monday (1).
  EXPECT_DOUBLE_EQ(Decode("022941200"), EncodeDateTime({2024, 2, 29, 12, 0, 0, 0}));
  EXPECT_DOUBLE_EQ(Decode("022961200"), EncodeDateTime({2020, 2, 29, 12, 0, 0, 0}));
  // 2016 (Monday) lies outside the ten years searched from 2026.
  EXPECT_EQ(Decode("022911200"), 0);
}

TEST_F(DateTimeFieldTest, NineMeansNoDateTimeWhateverFollows) {
  SetFixedNow(EncodeDate(2024, 3, 10));
  for (const std::string field : {"9XXXXXXXX", "912345678", "9\x03\x02      "}) {
    bool noDateTime = false;
    EXPECT_EQ(Decode(field, &noDateTime), 0);
    EXPECT_TRUE(noDateTime);
  }
}

TEST_F(DateTimeFieldTest, ImpossibleDatesGiveZeroWithoutTheFlag) {
  SetFixedNow(EncodeDate(2024, 3, 10));
  for (const std::string field :
       {"000110000", "130110000", "023110000", "01010????", "0101?1000", "ABCDEFGHI",
        "0101"
        "12500"}) {
    bool noDateTime = true;
    EXPECT_EQ(Decode(field, &noDateTime), 0) << field;
    EXPECT_FALSE(noDateTime) << field;
  }
}

TEST_F(DateTimeFieldTest, FieldPastTheEndIsNoDate) {
  const auto bytes = Bytes("0305207");
  TDateTime value = -1;
  bool flag = true;
  EXPECT_FALSE(DecodePacketDateTime(bytes, 0, value, flag));
  EXPECT_EQ(value, 0);
  EXPECT_FALSE(DecodePacketDateTime(bytes, 100, value, flag));
}

struct NumberCase {
  std::string Field;
  std::string Number;
  uint8_t Kind;
};

TEST(NumberFieldTest, TrimsAndClassifies) {
  const std::vector<NumberCase> cases = {
      {Pad(""), "", NumberKind::Empty},
      {Pad("P"), "P", NumberKind::Withheld},
      {Pad("O"), "O", NumberKind::OutOfArea},
      {Pad("C"), "C", NumberKind::PublicPhone},
      {Pad("S"), "S", NumberKind::NotAvailable},
      {Pad("0312345678"), "0312345678", NumberKind::Number},
      {Pad("  0312345678"), "0312345678", NumberKind::Number},
      {Pad("PP"), "PP", NumberKind::Number},
      {Pad("p"), "p", NumberKind::Number},
      {Pad("E"), "E", NumberKind::Number},
      {std::string("090\0 999", 8) + Pad("", 12), "090", NumberKind::Number},
      {std::string("\0", 1) + Pad("123", 19), "", NumberKind::Empty},
      {"01234567890123456789", "01234567890123456789", NumberKind::Number},
      {Pad("\t\x01P\x1f"), "P", NumberKind::Withheld},
  };
  for (const auto& c : cases) {
    const auto bytes = Bytes("##" + c.Field);
    std::string number = "old";
    uint8_t kind = 99;
    DecodePacketNumber(bytes, 2, number, kind);
    EXPECT_EQ(number, c.Number);
    EXPECT_EQ(kind, c.Kind) << c.Number;
  }
}

TEST(NumberFieldTest, HighBytesBecomeQuestionMarksAndShortFieldsAreCut) {
  std::string number;
  uint8_t kind = 0;
  DecodePacketNumber(Bytes("12\xff"
                           "3"),
                     0, number, kind);
  EXPECT_EQ(number, "12?3");
  DecodePacketNumber(Bytes("12"), 5, number, kind);
  EXPECT_EQ(number, "");
  EXPECT_EQ(kind, NumberKind::Empty);
}

class ReceivePacketTest : public DateTimeFieldTest {
protected:
  void SetUp() override { SetFixedNow(EncodeDate(2024, 3, 10)); }
};

TEST_F(ReceivePacketTest, CallerNumberPacket) {
  const auto packet = DecodePhoneNumber(Raw<TPhoneNumberPacket>("\x02"
                                                                "030520708" +
                                                                Pad("0312345678") + "\x03"));
  EXPECT_EQ(packet->PacketKind, PacketKind::PhoneNumber);
  EXPECT_DOUBLE_EQ(packet->IncomingDateTime, EncodeDateTime({2024, 3, 5, 7, 8, 0, 0}));
  EXPECT_FALSE(packet->NoDateTime);
  EXPECT_EQ(packet->PhoneNumber, "0312345678");
  EXPECT_EQ(packet->NumberKind, NumberKind::Number);
  EXPECT_EQ(packet->EventDateTime, 0);
}

TEST_F(ReceivePacketTest, PolarityReversalIgnoresItsBody) {
  const auto packet =
      DecodeKyokuseiHanten(Raw<TKyokuseiHantenPacket>(std::string("\x02\xff\x00\x03", 4)));
  EXPECT_EQ(packet->PacketKind, PacketKind::KyokuseiHanten);
  EXPECT_EQ(packet->PhoneNumber, "");
}

TEST_F(ReceivePacketTest, HookLettersGiveTheKind) {
  const std::vector<std::pair<std::string, uint8_t>> cases = {
      {"OF", PacketKind::OffHook}, {"ON", PacketKind::OnHook}, {"UR", PacketKind::Unanswered}};
  for (const auto& [letters, kind] : cases) {
    const auto packet = DecodeOnOffHookEtc(Raw<TOnOffHookEtcPacket>("\x02"
                                                                    "030520708" +
                                                                    letters + "\x03"));
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->PacketKind, kind);
    EXPECT_DOUBLE_EQ(packet->EventDateTime, EncodeDateTime({2024, 3, 5, 7, 8, 0, 0}));
    EXPECT_EQ(packet->IncomingDateTime, 0);
  }
  for (const std::string letters : {"of", "On", "XX", "UN"})
    EXPECT_FALSE(DecodeOnOffHookEtc(Raw<TOnOffHookEtcPacket>("\x02"
                                                             "030520708" +
                                                             letters + "\x03")));
}

TEST_F(ReceivePacketTest, MemoryRecordAnsweredAndUnanswered) {
  auto packet = DecodeMemoryRecord(Raw<TMemoryRecordPacket>("\x02"
                                                            "030520708" +
                                                            Pad("0312345678") +
                                                            "030520710"
                                                            "OF\x03"));
  EXPECT_EQ(packet->PacketKind, PacketKind::MemoryRecord);
  EXPECT_DOUBLE_EQ(packet->IncomingDateTime, EncodeDateTime({2024, 3, 5, 7, 8, 0, 0}));
  EXPECT_DOUBLE_EQ(packet->EventDateTime, EncodeDateTime({2024, 3, 5, 7, 10, 0, 0}));
  EXPECT_EQ(packet->PhoneNumber, "0312345678");
  EXPECT_TRUE(packet->Answered);
  EXPECT_FALSE(packet->Unanswered);

  packet = DecodeMemoryRecord(Raw<TMemoryRecordPacket>("\x02"
                                                       "030520708" +
                                                       Pad("P") +
                                                       "900000000"
                                                       "UR\x03"));
  EXPECT_FALSE(packet->Answered);
  EXPECT_TRUE(packet->Unanswered);
  EXPECT_EQ(packet->NumberKind, NumberKind::Withheld);
  EXPECT_EQ(packet->EventDateTime, 0);
  EXPECT_FALSE(packet->NoDateTime);

  packet = DecodeMemoryRecord(Raw<TMemoryRecordPacket>("\x02"
                                                       "030520708" +
                                                       Pad("1") +
                                                       "030520710"
                                                       "ON\x03"));
  EXPECT_FALSE(packet->Answered);
  EXPECT_FALSE(packet->Unanswered);
}

TEST_F(ReceivePacketTest, EmptyMemorySlot) {
  const auto packet = DecodeMemoryRecord(Raw<TMemoryRecordPacket>("\x02"
                                                                  "9"
                                                                  "00000000" +
                                                                  Pad("0312345678") +
                                                                  "030520710"
                                                                  "OF\x03"));
  EXPECT_EQ(packet->PacketKind, PacketKind::MemoryRecord);
  EXPECT_TRUE(packet->NoDateTime);
  EXPECT_EQ(packet->NumberKind, NumberKind::Empty);
  EXPECT_EQ(packet->PhoneNumber, "");
  EXPECT_FALSE(packet->Answered);
  EXPECT_FALSE(packet->Unanswered);
  EXPECT_EQ(packet->EventDateTime, 0);
}

TEST(ReceivePacketCloneTest, CloneIsIndependent) {
  auto packet = NewReceivePacket();
  packet->PhoneNumber = "123";
  packet->Answered = true;
  auto copy = packet->Clone();
  copy->PhoneNumber = "456";
  EXPECT_EQ(packet->PhoneNumber, "123");
  EXPECT_TRUE(copy->Answered);
  EXPECT_NE(copy.get(), packet.get());
}

} // namespace
