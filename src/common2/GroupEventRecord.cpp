#include "common2/GroupEventRecord.h"

#include "common2/TransferRecord.h"

namespace {

namespace Offset {
constexpr size_t PacketKind = 0;
constexpr size_t GroupNo = 1;
constexpr size_t KyokuseiHantenReceived = 5;
constexpr size_t KyokuseiHantenAt = 6;
constexpr size_t NumberReceived = 14;
constexpr size_t IncomingDateTime = 15;
constexpr size_t NumberReceivedAt = 23;
constexpr size_t PhoneNumber = 31;
constexpr size_t NumberKind = 52;
constexpr size_t OffHookReceived = 53;
constexpr size_t OffHookDateTime = 54;
constexpr size_t OffHookReceivedAt = 62;
constexpr size_t RingSeconds = 70;
constexpr size_t OnHookReceived = 74;
constexpr size_t OnHookDateTime = 75;
constexpr size_t OnHookReceivedAt = 83;
constexpr size_t TalkSeconds = 91;
constexpr size_t UnansweredReceived = 95;
constexpr size_t UnansweredDateTime = 96;
constexpr size_t UnansweredReceivedAt = 104;
} // namespace Offset

constexpr size_t MaxNumberLength = 20;

} // namespace

TGroupEventRecord PackGroupEvent(const TKT5GroupEventArgs& a) {
  using namespace TransferRecord;
  TGroupEventRecord record;
  std::span<uint8_t> b(record.Bytes);
  PutByte(b, Offset::PacketKind, a.PacketKind);
  PutInt32(b, Offset::GroupNo, a.GroupNo);
  PutBool(b, Offset::KyokuseiHantenReceived, a.KyokuseiHantenReceived);
  PutDouble(b, Offset::KyokuseiHantenAt, a.KyokuseiHantenAt);
  PutBool(b, Offset::NumberReceived, a.NumberReceived);
  PutDouble(b, Offset::IncomingDateTime, a.IncomingDateTime);
  PutDouble(b, Offset::NumberReceivedAt, a.NumberReceivedAt);
  PutShortString(b, Offset::PhoneNumber, MaxNumberLength, a.PhoneNumber);
  PutByte(b, Offset::NumberKind, a.NumberKind);
  PutBool(b, Offset::OffHookReceived, a.OffHookReceived);
  PutDouble(b, Offset::OffHookDateTime, a.OffHookDateTime);
  PutDouble(b, Offset::OffHookReceivedAt, a.OffHookReceivedAt);
  PutInt32(b, Offset::RingSeconds, a.RingSeconds);
  PutBool(b, Offset::OnHookReceived, a.OnHookReceived);
  PutDouble(b, Offset::OnHookDateTime, a.OnHookDateTime);
  PutDouble(b, Offset::OnHookReceivedAt, a.OnHookReceivedAt);
  PutInt32(b, Offset::TalkSeconds, a.TalkSeconds);
  PutBool(b, Offset::UnansweredReceived, a.UnansweredReceived);
  PutDouble(b, Offset::UnansweredDateTime, a.UnansweredDateTime);
  PutDouble(b, Offset::UnansweredReceivedAt, a.UnansweredReceivedAt);
  return record;
}

void UnpackGroupEvent(const TGroupEventRecord& record, TKT5GroupEventArgs& a) {
  using namespace TransferRecord;
  std::span<const uint8_t> b(record.Bytes);
  a.PacketKind = b[Offset::PacketKind];
  a.GroupNo = GetInt32(b, Offset::GroupNo);
  a.KyokuseiHantenReceived = GetBool(b, Offset::KyokuseiHantenReceived);
  a.KyokuseiHantenAt = GetDouble(b, Offset::KyokuseiHantenAt);
  a.NumberReceived = GetBool(b, Offset::NumberReceived);
  a.IncomingDateTime = GetDouble(b, Offset::IncomingDateTime);
  a.NumberReceivedAt = GetDouble(b, Offset::NumberReceivedAt);
  a.PhoneNumber = GetShortString(b, Offset::PhoneNumber, MaxNumberLength);
  a.NumberKind = b[Offset::NumberKind];
  a.OffHookReceived = GetBool(b, Offset::OffHookReceived);
  a.OffHookDateTime = GetDouble(b, Offset::OffHookDateTime);
  a.OffHookReceivedAt = GetDouble(b, Offset::OffHookReceivedAt);
  a.RingSeconds = GetInt32(b, Offset::RingSeconds);
  a.OnHookReceived = GetBool(b, Offset::OnHookReceived);
  a.OnHookDateTime = GetDouble(b, Offset::OnHookDateTime);
  a.OnHookReceivedAt = GetDouble(b, Offset::OnHookReceivedAt);
  a.TalkSeconds = GetInt32(b, Offset::TalkSeconds);
  a.UnansweredReceived = GetBool(b, Offset::UnansweredReceived);
  a.UnansweredDateTime = GetDouble(b, Offset::UnansweredDateTime);
  a.UnansweredReceivedAt = GetDouble(b, Offset::UnansweredReceivedAt);
}
