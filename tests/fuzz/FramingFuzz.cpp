// Any byte stream, fed in pieces of any size, is framed without overflow and
// every chunk and record decodes without fault.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "common2/GroupEventRecord.h"
#include "common2/MirelKT5ReceivePacket.h"
#include "common2/ReceiveBuffer.h"
#include "common2/ReceivePacketRecord.h"

namespace {

void Check(bool condition) {
  if (!condition)
    std::abort();
}

template <typename Packet> Packet Copy(std::span<const uint8_t> chunk) {
  Packet packet{};
  std::memcpy(packet.data(), chunk.data(), std::min(chunk.size(), packet.size()));
  return packet;
}

void DecodeChunk(std::span<const uint8_t> chunk) {
  Check(chunk.size() >= 2 && chunk.back() == Etx);
  if (chunk.front() != Stx)
    return;
  switch (chunk.size()) {
  case PhoneNumberPacketSize:
    Check(DecodePhoneNumber(Copy<TPhoneNumberPacket>(chunk))->PhoneNumber.size() <= 20);
    break;
  case KyokuseiHantenPacketSize:
    DecodeKyokuseiHanten(Copy<TKyokuseiHantenPacket>(chunk));
    break;
  case OnOffHookEtcPacketSize:
    DecodeOnOffHookEtc(Copy<TOnOffHookEtcPacket>(chunk));
    break;
  default:
    break;
  }
}

void DecodeRecords(std::span<const uint8_t> data) {
  DecodeMemoryRecord(Copy<TMemoryRecordPacket>(data));
  TReceivePacketRecord packetRecord;
  std::memcpy(packetRecord.Bytes.data(), data.data(),
              std::min(data.size(), packetRecord.Bytes.size()));
  TKT5MirelKT5ReceivePacket packet;
  UnpackReceivePacket(packetRecord, packet);
  Check(packet.PhoneNumber.size() <= 20);
  TGroupEventRecord groupRecord;
  std::memcpy(groupRecord.Bytes.data(), data.data(),
              std::min(data.size(), groupRecord.Bytes.size()));
  TKT5GroupEventArgs group;
  UnpackGroupEvent(groupRecord, group);
  Check(PackGroupEvent(group).Bytes.size() == TGroupEventRecord::Size);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> input(data, size);
  DecodeRecords(input);
  static TReceiveBuffer buffer;
  static std::array<uint8_t, TReceiveBuffer::Capacity> chunk;
  buffer.Clear();
  // The first byte of each piece sets the size of the next append, as the
  // driver hands out bytes in reads of any size up to 1024.
  while (!input.empty()) {
    const size_t piece = std::min<size_t>(input.size(), 1 + input[0] * 4);
    buffer.Append(input.first(piece));
    input = input.subspan(piece);
    Check(buffer.Count() >= 0 && static_cast<size_t>(buffer.Count()) <= TReceiveBuffer::Capacity);
    while (const size_t length = buffer.TakeChunk(chunk))
      DecodeChunk(std::span<const uint8_t>(chunk.data(), length));
  }
  return 0;
}
