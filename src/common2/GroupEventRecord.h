#pragma once

#include <array>
#include <cstdint>

#include "common2/KT5EventArgs.h"

// The packed transfer form of a call group (112 bytes, little-endian), as the
// caller simulator leaves it in shared memory.
struct TGroupEventRecord {
  static constexpr size_t Size = 112;
  std::array<uint8_t, Size> Bytes{};
};

TGroupEventRecord PackGroupEvent(const TKT5GroupEventArgs& args);
// Sets every property of `args` from the record.
void UnpackGroupEvent(const TGroupEventRecord& record, TKT5GroupEventArgs& args);
