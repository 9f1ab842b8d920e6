#include "common2/MirelKT5ReceivePacket.h"

#include "common2/PacketDecode.h"

namespace {

bool LettersAre(std::span<const uint8_t> bytes, size_t offset, const char (&letters)[3]) {
  return bytes[offset] == static_cast<uint8_t>(letters[0]) &&
         bytes[offset + 1] == static_cast<uint8_t>(letters[1]);
}

} // namespace

IKT5MirelKT5ReceivePacket TKT5MirelKT5ReceivePacket::Clone() const {
  return std::make_shared<TKT5MirelKT5ReceivePacket>(*this);
}

IKT5MirelKT5ReceivePacket NewReceivePacket() {
  return std::make_shared<TKT5MirelKT5ReceivePacket>();
}

IKT5MirelKT5ReceivePacket DecodeKyokuseiHanten(const TKyokuseiHantenPacket&) {
  auto packet = NewReceivePacket();
  packet->PacketKind = PacketKind::KyokuseiHanten;
  return packet;
}

IKT5MirelKT5ReceivePacket DecodePhoneNumber(const TPhoneNumberPacket& raw) {
  auto packet = NewReceivePacket();
  packet->PacketKind = PacketKind::PhoneNumber;
  DecodePacketDateTime(raw, PacketLayout::DateTimeField, packet->IncomingDateTime,
                       packet->NoDateTime);
  DecodePacketNumber(raw, PacketLayout::NumberField, packet->PhoneNumber, packet->NumberKind);
  return packet;
}

IKT5MirelKT5ReceivePacket DecodeOnOffHookEtc(const TOnOffHookEtcPacket& raw) {
  uint8_t kind = 0;
  if (LettersAre(raw, PacketLayout::HookLetters, "OF"))
    kind = PacketKind::OffHook;
  else if (LettersAre(raw, PacketLayout::HookLetters, "ON"))
    kind = PacketKind::OnHook;
  else if (LettersAre(raw, PacketLayout::HookLetters, "UR"))
    kind = PacketKind::Unanswered;
  else
    return nullptr;
  auto packet = NewReceivePacket();
  packet->PacketKind = kind;
  DecodePacketDateTime(raw, PacketLayout::DateTimeField, packet->EventDateTime, packet->NoDateTime);
  return packet;
}

IKT5MirelKT5ReceivePacket DecodeMemoryRecord(const TMemoryRecordPacket& raw) {
  auto packet = NewReceivePacket();
  DecodePacketDateTime(raw, PacketLayout::DateTimeField, packet->IncomingDateTime,
                       packet->NoDateTime);
  packet->PacketKind = PacketKind::MemoryRecord;
  if (packet->NoDateTime) {
    // An empty memory slot.
    packet->NumberKind = NumberKind::Empty;
    return packet;
  }
  if (LettersAre(raw, PacketLayout::MemoryHookLetters, "OF")) {
    packet->Answered = true;
  } else if (LettersAre(raw, PacketLayout::MemoryHookLetters, "UR")) {
    packet->Unanswered = true;
  }
  bool eventNoDateTime = false;
  DecodePacketDateTime(raw, PacketLayout::MemoryEventDateTime, packet->EventDateTime,
                       eventNoDateTime);
  DecodePacketNumber(raw, PacketLayout::NumberField, packet->PhoneNumber, packet->NumberKind);
  return packet;
}
