#pragma once

#include <array>
#include <cstdint>

#include "common2/MirelKT5ReceivePacket.h"

// The packed transfer form of a receive packet (42 bytes, little-endian), as
// the caller simulator leaves it in shared memory.
struct TReceivePacketRecord {
  static constexpr size_t Size = 42;
  std::array<uint8_t, Size> Bytes{};
};

TReceivePacketRecord PackReceivePacket(const TKT5MirelKT5ReceivePacket& packet);
// Sets every property of `packet` from the record.
void UnpackReceivePacket(const TReceivePacketRecord& record, TKT5MirelKT5ReceivePacket& packet);
