#include "common2/TransferRecord.h"

#include "base/CodePage.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace TransferRecord {

namespace {

void PutUInt64(std::span<uint8_t> bytes, size_t offset, uint64_t value, size_t width) {
  for (size_t i = 0; i < width; ++i)
    bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint64_t GetUInt64(std::span<const uint8_t> bytes, size_t offset, size_t width) {
  uint64_t value = 0;
  for (size_t i = 0; i < width; ++i)
    value |= static_cast<uint64_t>(bytes[offset + i]) << (8 * i);
  return value;
}

} // namespace

void PutByte(std::span<uint8_t> bytes, size_t offset, uint8_t value) {
  bytes[offset] = value;
}

void PutBool(std::span<uint8_t> bytes, size_t offset, bool value) {
  bytes[offset] = value ? 1 : 0;
}

void PutInt32(std::span<uint8_t> bytes, size_t offset, int32_t value) {
  PutUInt64(bytes, offset, static_cast<uint32_t>(value), 4);
}

void PutDouble(std::span<uint8_t> bytes, size_t offset, double value) {
  PutUInt64(bytes, offset, std::bit_cast<uint64_t>(value), 8);
}

void PutShortString(std::span<uint8_t> bytes, size_t offset, size_t maxLength,
                    const std::string& utf8) {
  // The record holds the ANSI code page; a double-byte character that does
  // not fit whole is left out.
  const std::string text = Utf8ToCp932(utf8);
  size_t length = 0;
  while (length < text.size()) {
    const size_t width = IsCp932LeadByte(static_cast<uint8_t>(text[length])) ? 2 : 1;
    if (length + width > maxLength)
      break;
    length += width;
  }
  length = std::min(length, text.size());
  std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), maxLength + 1, uint8_t{0});
  bytes[offset] = static_cast<uint8_t>(length);
  std::memcpy(bytes.data() + offset + 1, text.data(), length);
}

bool GetBool(std::span<const uint8_t> bytes, size_t offset) {
  return bytes[offset] != 0;
}

int32_t GetInt32(std::span<const uint8_t> bytes, size_t offset) {
  return static_cast<int32_t>(static_cast<uint32_t>(GetUInt64(bytes, offset, 4)));
}

double GetDouble(std::span<const uint8_t> bytes, size_t offset) {
  return std::bit_cast<double>(GetUInt64(bytes, offset, 8));
}

std::string GetShortString(std::span<const uint8_t> bytes, size_t offset, size_t maxLength) {
  const size_t length = std::min<size_t>(bytes[offset], maxLength);
  return Cp932ToUtf8(
      std::string_view(reinterpret_cast<const char*>(bytes.data() + offset + 1), length));
}

} // namespace TransferRecord
