#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// Received bytes not yet framed, oldest first. A packet ends at the first ETX
// after its first byte; its kind is told by its length.
class TReceiveBuffer {
public:
  static constexpr size_t Capacity = 8094;
  // Most bytes taken from the driver per port event.
  static constexpr size_t MaxRead = 1024;

  void Clear() { count_ = 0; }
  int32_t Count() const { return count_; }
  std::span<const uint8_t> Bytes() const { return {data_.data(), static_cast<size_t>(count_)}; }

  // Appends at most Capacity bytes. Bytes that have waited this long without
  // an ETX can only end up in a chunk that is dropped anyway, so when the
  // new bytes do not fit, the oldest bytes make room; the buffer never grows
  // beyond its capacity.
  void Append(std::span<const uint8_t> bytes);

  // Takes the next chunk (first byte up to and including an ETX) out of the
  // buffer into `chunk` and returns its length, or 0 when no ETX follows the
  // first byte yet. `chunk` must hold Capacity bytes.
  size_t TakeChunk(std::span<uint8_t, Capacity> chunk);

private:
  std::array<uint8_t, Capacity> data_{};
  int32_t count_ = 0;
};
