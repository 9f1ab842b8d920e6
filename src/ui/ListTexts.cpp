#include "ui/ListTexts.h"

#include "base/Text.h"
#include "settings/DateText.h"

#include <fmt/printf.h>

std::string ListDateText(std::string_view stored) {
  // Zero is no date: nothing is stored at 1899/12/30 00:00.
  const TDateTime value = DateTimeFromTextDef(stored, 0);
  return value == 0 ? std::string() : FormatDateTime("yyyy/mm/dd hh:nn:ss", value);
}

const char* const WidestDateText = "0000/00/00 00:00:00";
const char* const WidestNumberText = "00000000000000000000";
const char* const WidestDurationText = "00:00:00";
const char* const WidestRowNumberText = " 00000";

std::string DurationText(int seconds) {
  return fmt::sprintf("%.2d:%.2d:%.2d", seconds / 3600, seconds % 3600 / 60, seconds % 60);
}

int IntOrZero(std::string_view stored) {
  int value = 0;
  return TryParseInt32(stored, value) ? value : 0;
}

bool ContainsText(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}
