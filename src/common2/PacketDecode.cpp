#include "common2/PacketDecode.h"

#include <algorithm>

#include "base/Clock.h"
#include "base/Text.h"
#include "common2/PacketRecords.h"

namespace {

int Digit(uint8_t c) {
  return static_cast<int>(c) - 0x30;
}

int TwoDigits(std::span<const uint8_t> field, size_t at) {
  return Digit(field[at]) * 10 + Digit(field[at + 1]);
}

uint8_t KindOf(const std::string& number) {
  if (number.empty())
    return NumberKind::Empty;
  if (number == "P")
    return NumberKind::Withheld;
  if (number == "O")
    return NumberKind::OutOfArea;
  if (number == "C")
    return NumberKind::PublicPhone;
  if (number == "S")
    return NumberKind::NotAvailable;
  return NumberKind::Number;
}

} // namespace

bool DecodePacketDateTime(std::span<const uint8_t> bytes, size_t offset, TDateTime& dateTime,
                          bool& noDateTime) {
  dateTime = 0;
  noDateTime = false;
  if (offset >= bytes.size() || bytes.size() - offset < PacketLayout::DateTimeWidth)
    return false;
  const auto field = bytes.subspan(offset, PacketLayout::DateTimeWidth);
  if (field[0] == '9') {
    noDateTime = true;
    return false;
  }
  const int month = TwoDigits(field, 0);
  const int day = TwoDigits(field, 2);
  const int dayOfWeek = Digit(field[4]);
  TDateTime time = 0;
  if (!TryEncodeTime(TwoDigits(field, 5), TwoDigits(field, 7), 0, 0, time))
    return false;
  const int year = DecodeDateTime(Now()).Year;
  for (int k = 0; k <= 9; ++k) {
    TDateTime date = 0;
    if (!TryEncodeDate(year - k, month, day, date))
      continue;
    // DayOfWeek counts Sunday as 1; the field counts it as 0.
    if (DayOfWeek(date) - 1 == dayOfWeek) {
      dateTime = date + time;
      return dateTime != 0;
    }
  }
  return false;
}

void DecodePacketNumber(std::span<const uint8_t> bytes, size_t offset, std::string& number,
                        uint8_t& numberKind) {
  number.clear();
  if (offset < bytes.size()) {
    const auto field =
        bytes.subspan(offset, std::min(PacketLayout::NumberWidth, bytes.size() - offset));
    const auto end = std::find(field.begin(), field.end(), uint8_t{0});
    // The line is 7-bit ASCII; anything else would not be valid text.
    for (auto it = field.begin(); it != end; ++it)
      number.push_back(*it < 0x80 ? static_cast<char>(*it) : '?');
  }
  number = Trim(number);
  numberKind = KindOf(number);
}
