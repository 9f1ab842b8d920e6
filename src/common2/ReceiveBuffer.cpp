#include "common2/ReceiveBuffer.h"

#include <cstring>

#include "common2/PacketRecords.h"

void TReceiveBuffer::Append(std::span<const uint8_t> bytes) {
  if (bytes.size() > Capacity)
    bytes = bytes.last(Capacity);
  const size_t held = static_cast<size_t>(count_);
  if (held + bytes.size() > Capacity) {
    const size_t drop = held + bytes.size() - Capacity;
    std::memmove(data_.data(), data_.data() + drop, held - drop);
    count_ = static_cast<int32_t>(held - drop);
  }
  if (!bytes.empty())
    std::memcpy(data_.data() + count_, bytes.data(), bytes.size());
  count_ += static_cast<int32_t>(bytes.size());
}

size_t TReceiveBuffer::TakeChunk(std::span<uint8_t, Capacity> chunk) {
  const size_t held = static_cast<size_t>(count_);
  if (held < 2)
    return 0;
  // The first byte never ends a packet, so the search starts at the second.
  const void* etx = std::memchr(data_.data() + 1, Etx, held - 1);
  if (etx == nullptr)
    return 0;
  const size_t length = static_cast<size_t>(static_cast<const uint8_t*>(etx) - data_.data()) + 1;
  std::memcpy(chunk.data(), data_.data(), length);
  std::memmove(data_.data(), data_.data() + length, held - length);
  count_ = static_cast<int32_t>(held - length);
  return length;
}
