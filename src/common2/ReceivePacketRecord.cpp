#include "common2/ReceivePacketRecord.h"

#include "common2/TransferRecord.h"

namespace {

namespace Offset {
constexpr size_t PacketKind = 0;
constexpr size_t IncomingDateTime = 1;
constexpr size_t PhoneNumber = 9;
constexpr size_t NumberKind = 30;
constexpr size_t EventDateTime = 31;
constexpr size_t NoDateTime = 39;
constexpr size_t Answered = 40;
constexpr size_t Unanswered = 41;
} // namespace Offset

constexpr size_t MaxNumberLength = 20;

} // namespace

TReceivePacketRecord PackReceivePacket(const TKT5MirelKT5ReceivePacket& packet) {
  using namespace TransferRecord;
  TReceivePacketRecord record;
  std::span<uint8_t> bytes(record.Bytes);
  PutByte(bytes, Offset::PacketKind, packet.PacketKind);
  PutDouble(bytes, Offset::IncomingDateTime, packet.IncomingDateTime);
  PutShortString(bytes, Offset::PhoneNumber, MaxNumberLength, packet.PhoneNumber);
  PutByte(bytes, Offset::NumberKind, packet.NumberKind);
  PutDouble(bytes, Offset::EventDateTime, packet.EventDateTime);
  PutBool(bytes, Offset::NoDateTime, packet.NoDateTime);
  PutBool(bytes, Offset::Answered, packet.Answered);
  PutBool(bytes, Offset::Unanswered, packet.Unanswered);
  return record;
}

void UnpackReceivePacket(const TReceivePacketRecord& record, TKT5MirelKT5ReceivePacket& packet) {
  using namespace TransferRecord;
  std::span<const uint8_t> bytes(record.Bytes);
  packet.PacketKind = bytes[Offset::PacketKind];
  packet.IncomingDateTime = GetDouble(bytes, Offset::IncomingDateTime);
  packet.PhoneNumber = GetShortString(bytes, Offset::PhoneNumber, MaxNumberLength);
  packet.NumberKind = bytes[Offset::NumberKind];
  packet.EventDateTime = GetDouble(bytes, Offset::EventDateTime);
  packet.NoDateTime = GetBool(bytes, Offset::NoDateTime);
  packet.Answered = GetBool(bytes, Offset::Answered);
  packet.Unanswered = GetBool(bytes, Offset::Unanswered);
}
