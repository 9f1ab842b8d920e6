// Any byte stream from the adapter, fed in pieces of any size, is framed
// without overflow; every chunk decodes without fault, and the decoded
// packets group into calls whose events stay well formed.
#include <algorithm>
#include <array>
#include <cstring>
#include <span>

#include "FuzzSupport.h"
#include "base/Clock.h"
#include "common2/MirelKT5ReceivePacket.h"
#include "common2/ReceiveBuffer.h"
#include "fakes/PortlessSession.h"

namespace {

template <typename Packet> Packet Copy(std::span<const uint8_t> chunk) {
  Packet packet{};
  std::memcpy(packet.data(), chunk.data(), std::min(chunk.size(), packet.size()));
  return packet;
}

IKT5MirelKT5ReceivePacket DecodeChunk(std::span<const uint8_t> chunk) {
  Check(chunk.size() >= 2 && chunk.back() == Etx);
  if (chunk.front() != Stx)
    return nullptr;
  switch (chunk.size()) {
  case PhoneNumberPacketSize:
    return DecodePhoneNumber(Copy<TPhoneNumberPacket>(chunk));
  case KyokuseiHantenPacketSize:
    return DecodeKyokuseiHanten(Copy<TKyokuseiHantenPacket>(chunk));
  case OnOffHookEtcPacketSize:
    return DecodeOnOffHookEtc(Copy<TOnOffHookEtcPacket>(chunk));
  default:
    return nullptr;
  }
}

void CheckPacket(const TKT5MirelKT5ReceivePacket& packet) {
  Check(packet.PacketKind >= PacketKind::KyokuseiHanten &&
        packet.PacketKind <= PacketKind::MemoryRecord);
  Check(packet.PhoneNumber.size() <= 20 && IsValidUtf8(packet.PhoneNumber));
  Check(packet.NumberKind <= 5);
}

void CheckGroup(const TKT5GroupEventArgs& group) {
  Check(group.PacketKind >= PacketKind::KyokuseiHanten && group.PacketKind <= PacketKind::GroupEnd);
  Check(group.PhoneNumber.size() <= 20);
  // The clock stands still here, so no call can have rung or lasted.
  Check(group.RingSeconds == 0 && group.TalkSeconds == 0);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetFixedNow(EncodeDateTime({2024, 3, 10, 9, 0, 0, 0}));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> input(data, size);
  // The same bytes as a memory-read reply.
  CheckPacket(*DecodeMemoryRecord(Copy<TMemoryRecordPacket>(input)));

  static TReceiveBuffer buffer;
  static std::array<uint8_t, TReceiveBuffer::Capacity> chunk;
  buffer.Clear();
  TPortlessSession session;
  int events = 0;
  session.OnGroup = [&](TMirelKT5CommBase&, const IKT5GroupEventArgs& group) {
    CheckGroup(*group);
    ++events;
  };
  int packets = 0;
  // The first byte of each piece sets the size of the next append, as the
  // driver hands out bytes in reads of any size up to 1024.
  while (!input.empty()) {
    const size_t piece = std::min<size_t>(input.size(), 1 + input[0] * 4);
    buffer.Append(input.first(piece));
    input = input.subspan(piece);
    Check(buffer.Count() >= 0 && static_cast<size_t>(buffer.Count()) <= TReceiveBuffer::Capacity);
    while (const size_t length = buffer.TakeChunk(chunk)) {
      const IKT5MirelKT5ReceivePacket packet =
          DecodeChunk(std::span<const uint8_t>(chunk.data(), length));
      if (!packet)
        continue;
      CheckPacket(*packet);
      session.Feed(*packet);
      ++packets;
    }
  }
  // Every packet the session takes raises its own event.
  Check(events >= packets);
  return 0;
}
