#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "base/DateTime.h"

// Little-endian, unaligned field access for the packed transfer records that
// travel through shared memory.
namespace TransferRecord {
void PutByte(std::span<uint8_t> bytes, size_t offset, uint8_t value);
void PutBool(std::span<uint8_t> bytes, size_t offset, bool value);
void PutInt32(std::span<uint8_t> bytes, size_t offset, int32_t value);
void PutDouble(std::span<uint8_t> bytes, size_t offset, double value);
// Length byte then up to `maxLength` bytes of the text in CP932; a longer
// text is cut before the character that does not fit.
void PutShortString(std::span<uint8_t> bytes, size_t offset, size_t maxLength,
                    const std::string& utf8);

bool GetBool(std::span<const uint8_t> bytes, size_t offset);
int32_t GetInt32(std::span<const uint8_t> bytes, size_t offset);
double GetDouble(std::span<const uint8_t> bytes, size_t offset);
// The CP932 text back in UTF-8; a length byte above `maxLength` reads as
// `maxLength`.
std::string GetShortString(std::span<const uint8_t> bytes, size_t offset, size_t maxLength);
} // namespace TransferRecord
