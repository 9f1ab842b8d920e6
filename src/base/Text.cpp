#include "base/Text.h"

#include <charconv>
#include <cstdint>

namespace {

bool IsTrimmed(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

char UpperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}
char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

} // namespace

std::string TrimLeft(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && IsTrimmed(s[i]))
    ++i;
  return std::string(s.substr(i));
}

std::string TrimRight(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && IsTrimmed(s[n - 1]))
    --n;
  return std::string(s.substr(0, n));
}

std::string_view TrimmedView(std::string_view s) {
  while (!s.empty() && IsTrimmed(s.front()))
    s.remove_prefix(1);
  while (!s.empty() && IsTrimmed(s.back()))
    s.remove_suffix(1);
  return s;
}

std::string Trim(std::string_view s) {
  return std::string(TrimmedView(s));
}

std::string UpperCaseAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    c = UpperAscii(c);
  return out;
}

std::string LowerCaseAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    c = LowerAscii(c);
  return out;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (UpperAscii(a[i]) != UpperAscii(b[i]))
      return false;
  return true;
}

bool StartsWithText(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && SameText(s.substr(0, prefix.size()), prefix);
}

std::vector<std::string> SplitString(std::string_view s, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    const size_t pos = s.find(separator, start);
    if (pos == std::string_view::npos) {
      parts.emplace_back(s.substr(start));
      return parts;
    }
    parts.emplace_back(s.substr(start, pos - start));
    start = pos + 1;
  }
}

std::string WithoutControlCharacters(std::string_view s) {
  std::string kept;
  kept.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    // C1 controls are U+0080..U+009F: 0xC2 followed by 0x80..0x9F.
    const bool c1 = c == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) < 0xA0;
    if (c1)
      ++i;
    else if (c >= 0x20 && c != 0x7F)
      kept += s[i];
  }
  return kept;
}

bool TryParseInt32(std::string_view text, int& value) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    uint32_t hex = 0;
    const auto digits = text.substr(2);
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), hex, 16);
    if (ec != std::errc() || end != digits.data() + digits.size())
      return false;
    value = static_cast<int>(hex);
    return true;
  }
  if (!text.empty() && text[0] == '+')
    text.remove_prefix(1);
  int parsed = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed, 10);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size())
    return false;
  value = parsed;
  return true;
}
