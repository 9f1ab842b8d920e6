#include "core/DebugFile.h"

#include "base/CodePage.h"
#include "base/Text.h"
#include "data/FileBytes.h"
#include "platform/ProgramPaths.h"

#include <algorithm>

namespace {

bool IsBlank(char c) {
  return c != '\0' && static_cast<unsigned char>(c) <= ' ';
}

void SkipBlanks(std::string_view s, size_t& p) {
  while (p < s.size() && IsBlank(s[p]))
    ++p;
}

std::string QuotedField(std::string_view s, size_t& p) {
  std::string field;
  ++p; // opening quote
  while (p < s.size()) {
    if (s[p] == '"') {
      if (p + 1 < s.size() && s[p + 1] == '"') {
        field += '"';
        p += 2;
        continue;
      }
      ++p;
      break;
    }
    field += s[p++];
  }
  return field;
}

// A long first line is no debug trigger; this bounds the read of a huge or
// binary file.
constexpr size_t kMaxLine = 4096;

} // namespace

std::vector<std::string> SplitCommaText(std::string_view s) {
  // A NUL ends the text, as it would end a C string.
  s = s.substr(0, s.find('\0'));
  std::vector<std::string> fields;
  size_t p = 0;
  SkipBlanks(s, p);
  while (p < s.size()) {
    if (s[p] == '"') {
      fields.push_back(QuotedField(s, p));
    } else {
      const size_t start = p;
      while (p < s.size() && !IsBlank(s[p]) && s[p] != ',')
        ++p;
      fields.emplace_back(s.substr(start, p - start));
    }
    SkipBlanks(s, p);
    if (p < s.size() && s[p] == ',') {
      if (p + 1 == s.size())
        fields.emplace_back();
      ++p;
      SkipBlanks(s, p);
    }
  }
  return fields;
}

TDebugLine ReadDebugFile() {
  TDebugLine result;
  // Only a regular file is read, without blocking: a FIFO named debug.txt
  // would otherwise stall the main thread.
  std::string line;
  if (!ReadFileBytes(ProgramFolder() + "/debug.txt", line, kMaxLine))
    return result;
  line.resize(std::min(line.find_first_of("\r\n"), line.size()));
  const std::vector<std::string> fields = SplitCommaText(Cp932ToUtf8(line));
  if (fields.size() >= 2) {
    result.Key = Trim(fields[0]);
    result.Number = Trim(fields[1]);
  }
  return result;
}
