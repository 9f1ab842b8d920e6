#include "MemoryFile.h"

#include "NumberField.h"
#include "base/Text.h"

#include <algorithm>
#include <fmt/printf.h>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

constexpr size_t FieldWidth = PacketLayout::DateTimeWidth;
const std::string NoDateTimeField(FieldWidth, '9');

struct TStoredCall {
  std::string IncomingField;
  std::string Number;
  std::string EventField;
  std::string Letters;
};

bool IsPrintable(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c > ' ' && c < '\x7f'; });
}

std::vector<std::string> Tokens(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> tokens;
  for (std::string token; in >> token;)
    tokens.push_back(token);
  return tokens;
}

std::string Field(const std::string& text) {
  if (text.size() != FieldWidth || !IsPrintable(text))
    throw EMemoryFileError("bad date-time field (9 characters, MMDDwHHNN): " + text);
  return text;
}

// The adapter's line is 7-bit ASCII.
std::string Number(const std::string& text) {
  if (text == "-")
    return "";
  if (text.size() > NumberFieldBytes || !IsPrintable(text))
    throw EMemoryFileError("bad number (up to 20 printable ASCII characters, - for none): " + text);
  return text;
}

uint32_t Index(const std::string& text) {
  int index = 0;
  if (!TryParseInt32(text, index) || index < 0 || index > MaxMemoryIndex)
    throw EMemoryFileError("bad memory index (0 to 255): " + text);
  return static_cast<uint32_t>(index);
}

std::string Letters(const std::string& text) {
  if (text != "OF" && text != "UR")
    throw EMemoryFileError("bad letters (OF or UR): " + text);
  return text;
}

TMemoryRecordPacket Encode(const TStoredCall& call) {
  const std::string body =
      call.IncomingField + PaddedNumberField(call.Number) + call.EventField + call.Letters;
  TMemoryRecordPacket raw{};
  raw.front() = Stx;
  std::copy(body.begin(), body.end(), raw.begin() + 1);
  raw.back() = Etx;
  return raw;
}

void ParseLine(const std::string& line, TMemoryRecords& records) {
  const std::vector<std::string> tokens = Tokens(line);
  if (tokens.empty() || tokens.front().starts_with("#"))
    return;
  if (tokens.size() != 5)
    throw EMemoryFileError("expected INDEX FIELD TEXT FIELD OF|UR");
  const TStoredCall call{Field(tokens[1]), Number(tokens[2]), Field(tokens[3]), Letters(tokens[4])};
  records[Index(tokens[0])] = Encode(call);
}

} // namespace

TMemoryRecords ParseMemoryText(const std::string& text) {
  TMemoryRecords records;
  std::istringstream in(text);
  int lineNo = 0;
  for (std::string line; std::getline(in, line);) {
    ++lineNo;
    try {
      ParseLine(line, records);
    } catch (const EMemoryFileError& e) {
      throw EMemoryFileError(fmt::sprintf("line %d: %s", lineNo, e.Message()));
    }
  }
  return records;
}

TMemoryRecords LoadMemoryFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw EMemoryFileError("cannot read " + path);
  std::ostringstream text;
  text << in.rdbuf();
  return ParseMemoryText(text.str());
}

TMemoryRecordPacket EmptyMemoryRecord() {
  return Encode({NoDateTimeField, "", NoDateTimeField, "  "});
}
