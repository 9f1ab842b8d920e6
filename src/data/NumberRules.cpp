#include "data/NumberRules.h"

#include <initializer_list>

namespace {

// UTF-8 of "０": EF BC 90; "９" ends at EF BC 99.
bool FullWidthDigitAt(std::string_view text, size_t pos) {
  return pos + 2 < text.size() && text[pos] == '\xEF' && text[pos + 1] == '\xBC' &&
         text[pos + 2] >= '\x90' && text[pos + 2] <= '\x99';
}

bool IsAsciiDigit(char c) {
  return c >= '0' && c <= '9';
}

std::string FullWidthDigitsToAscii(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    if (FullWidthDigitAt(text, pos)) {
      result += static_cast<char>('0' + (text[pos + 2] - '\x90'));
      pos += 3;
    } else {
      result += text[pos++];
    }
  }
  return result;
}

// Removes every occurrence of each of `words`.
std::string Without(std::string text, std::initializer_list<std::string_view> words) {
  for (const std::string_view word : words)
    for (size_t pos = text.find(word); pos != std::string::npos; pos = text.find(word, pos))
      text.erase(pos, word.size());
  return text;
}

} // namespace

std::string NumberDisplayText(std::string_view phoneNumber) {
  static const std::pair<const char*, const char*> codes[] = {
      {"P", "非通知"}, {"O", "表示圏外"}, {"S", "表示圏外"}, {"C", "公衆電話"}, {"E", "エラー"}};
  for (const auto& [code, word] : codes)
    if (phoneNumber == code)
      return word;
  return std::string(phoneNumber);
}

bool IsValidNumber(std::string_view phoneNumber) {
  return !phoneNumber.empty() && phoneNumber[0] >= '0' && phoneNumber[0] <= '9';
}

std::string NormaliseTypedNumber(std::string_view text) {
  // UTF-8 continuation and lead bytes are never ASCII, so keeping only ASCII
  // digits drops whole double-byte characters.
  std::string digits;
  for (const char c : FullWidthDigitsToAscii(text))
    if (IsAsciiDigit(c))
      digits += c;
  return digits;
}

bool NormaliseImportNumber(std::string_view text, std::string& number) {
  number = Without(FullWidthDigitsToAscii(text), {"-", "－", "(", "（", ")", "）"});
  if (number.empty())
    return false;
  for (const char c : number)
    if (!IsAsciiDigit(c))
      return false;
  return true;
}
