#pragma once

#include "base/DateTime.h"

#include <string>
#include <string_view>

// Byte layouts of what the adapter puts on the line: STX, an ASCII body, ETX.

constexpr char Stx = '\x02';
constexpr char Etx = '\x03';
constexpr size_t NumberFieldWidth = 20;
constexpr size_t DateTimeFieldWidth = 9;

// One call kept in the adapter's memory; fields as they go on the wire.
struct TMemoryRecord {
  std::string IncomingField = "999999999"; // "9..." marks an empty slot
  std::string Number;                      // up to 20 bytes, padded when sent
  std::string EventField = "999999999";
  std::string Letters = "  "; // "OF" answered, "UR" not answered
};

// "MMDDwHHNN" of a local date-time (w: 0 for Sunday).
std::string EncodeDateTimeField(TDateTime value);
// Left-aligned in 20 bytes, padded with spaces.
std::string PadNumber(std::string_view number);

std::string EncodeRing();
std::string EncodeNumber(std::string_view number, std::string_view field);
std::string EncodeHook(std::string_view letters, std::string_view field);
// Reply to the memory read: 31 bytes, the caller-number layout.
std::string EncodeMemoryReply(const TMemoryRecord& record);
// Reply to the extended memory read: 42 bytes.
std::string EncodeMemoryReplyMT(const TMemoryRecord& record);
