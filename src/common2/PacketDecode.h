#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "base/DateTime.h"

// Number kinds of a decoded number field.
namespace NumberKind {
constexpr uint8_t Empty = 0;
constexpr uint8_t Number = 1;
constexpr uint8_t Withheld = 2;     // "P"
constexpr uint8_t OutOfArea = 3;    // "O"
constexpr uint8_t PublicPhone = 4;  // "C"
constexpr uint8_t NotAvailable = 5; // "S"
} // namespace NumberKind

// Decodes the 9-character date-time field (MMDDwhhnn) at `offset`. The year is
// not sent: the most recent of this year and the nine before it whose date has
// the sent day of week is taken. A field starting with '9' is "no date-time".
// Returns true when the result is not 0. A field reaching past `bytes` is
// treated as one that fits no year.
bool DecodePacketDateTime(std::span<const uint8_t> bytes, size_t offset, TDateTime& dateTime,
                          bool& noDateTime);

// Decodes the 20-byte number field at `offset`: the text before the first NUL,
// trimmed of blanks and control characters, and its kind.
void DecodePacketNumber(std::span<const uint8_t> bytes, size_t offset, std::string& number,
                        uint8_t& numberKind);
