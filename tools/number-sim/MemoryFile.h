#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "base/Exception.h"
#include "common2/PacketRecords.h"

// A line of the memory file that cannot be taken; names the line.
class EMemoryFileError : public Exception {
public:
  using Exception::Exception;
};

constexpr int MaxMemoryIndex = 255; // the program sends the index as a byte

// Stored calls by memory index, as the adapter's extended memory read would
// return them.
using TMemoryRecords = std::map<uint32_t, TMemoryRecordPacket>;

// Lines "INDEX FIELD TEXT FIELD OF|UR", the virtual adapter's `memory`
// syntax: FIELD is the 9-character date-time field MMDDwHHNN, TEXT up to 20
// printable ASCII characters ("-" for none). Blank lines and lines starting with "#" are
// skipped; a later line for an index replaces an earlier one.
TMemoryRecords ParseMemoryText(const std::string& text);
// Throws EMemoryFileError also when the file cannot be read.
TMemoryRecords LoadMemoryFile(const std::string& path);

// An empty slot as the adapter reports it.
TMemoryRecordPacket EmptyMemoryRecord();
