#include "data/CallFields.h"

#include "base/DateTime.h"

#include <algorithm>

namespace {

constexpr size_t MaxNumberChars = 20;
constexpr std::string_view DatePattern = "dddd/dd/dd dd:dd:dd.ddd";

int Number(std::string_view text, size_t at, size_t length) {
  int value = 0;
  for (size_t i = at; i < at + length; ++i)
    value = value * 10 + (text[i] - '0');
  return value;
}

bool MatchesPattern(std::string_view date) {
  if (date.size() != DatePattern.size())
    return false;
  for (size_t i = 0; i < date.size(); ++i) {
    const bool digit = date[i] >= '0' && date[i] <= '9';
    if (DatePattern[i] == 'd' ? !digit : date[i] != DatePattern[i])
      return false;
  }
  return true;
}

} // namespace

bool IsCallNumber(std::string_view number) {
  return !number.empty() && number.size() <= MaxNumberChars &&
         std::all_of(number.begin(), number.end(), [](char c) { return c > 0x20 && c < 0x7F; });
}

bool IsCallDateText(std::string_view date) {
  if (!MatchesPattern(date))
    return false;
  const TDateParts parts{Number(date, 0, 4),  Number(date, 5, 2),  Number(date, 8, 2),
                         Number(date, 11, 2), Number(date, 14, 2), Number(date, 17, 2),
                         Number(date, 20, 3)};
  TDateTime value = 0;
  return parts.Year >= 2000 && parts.Year <= 2099 && TryEncodeDateTime(parts, value);
}
