#include "settings/DateText.h"

#include "base/Text.h"

#include <charconv>

namespace {

// Reads 1..maxDigits digits at `pos`; advances `pos`.
bool ReadNumber(std::string_view s, size_t& pos, size_t maxDigits, int& value) {
  size_t end = pos;
  while (end < s.size() && end - pos < maxDigits && s[end] >= '0' && s[end] <= '9')
    ++end;
  if (end == pos)
    return false;
  std::from_chars(s.data() + pos, s.data() + end, value);
  pos = end;
  return true;
}

bool Expect(std::string_view s, size_t& pos, char c) {
  if (pos >= s.size() || s[pos] != c)
    return false;
  ++pos;
  return true;
}

bool ReadTime(std::string_view s, size_t& pos, TDateParts& p) {
  if (!ReadNumber(s, pos, 2, p.Hour) || !Expect(s, pos, ':') || !ReadNumber(s, pos, 2, p.Minute))
    return false;
  if (pos == s.size())
    return true;
  if (!Expect(s, pos, ':') || !ReadNumber(s, pos, 2, p.Second))
    return false;
  if (pos == s.size())
    return true;
  return Expect(s, pos, '.') && ReadNumber(s, pos, 3, p.MilliSecond);
}

} // namespace

TDateTime DateTimeFromTextDef(std::string_view text, TDateTime defaultValue) {
  const std::string s = Trim(text);
  if (s.empty())
    return defaultValue;
  TDateParts p;
  size_t pos = 0;
  if (!ReadNumber(s, pos, 4, p.Year) || !Expect(s, pos, '/') || !ReadNumber(s, pos, 2, p.Month) ||
      !Expect(s, pos, '/') || !ReadNumber(s, pos, 2, p.Day))
    return defaultValue;
  if (pos < s.size()) {
    size_t blanks = pos;
    while (blanks < s.size() && s[blanks] == ' ')
      ++blanks;
    if (blanks == pos)
      return defaultValue;
    pos = blanks;
    if (!ReadTime(s, pos, p) || pos != s.size())
      return defaultValue;
  }
  TDateTime result = 0;
  return TryEncodeDateTime(p, result) ? result : defaultValue;
}
