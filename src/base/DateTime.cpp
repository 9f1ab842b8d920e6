#include "base/DateTime.h"

#include "base/Exception.h"

#include <cctype>
#include <cmath>

namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (month <= 2));
}

const int64_t kDelphiEpoch = DaysFromCivil(1899, 12, 30);

// The calendar a date-time can hold: 0001-01-01 00:00 up to the end of
// 9999-12-31 (a negative value counts its time of day backwards).
constexpr double kBeforeFirstDay = -693594.0;
constexpr double kAfterLastDay = 2958466.0;

void AppendPadded(std::string& out, int value, int width) {
  std::string digits = std::to_string(value);
  if (static_cast<int>(digits.size()) < width)
    out.append(static_cast<size_t>(width) - digits.size(), '0');
  out += digits;
}

size_t RunLength(std::string_view s, size_t pos) {
  size_t n = 1;
  const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(s[pos])));
  while (pos + n < s.size() && std::tolower(static_cast<unsigned char>(s[pos + n])) == c)
    ++n;
  return n;
}

} // namespace

bool IsLeapYear(int year) {
  return (year % 4 == 0) && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12)
    return 0;
  return days[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month))
    return false;
  result = static_cast<double>(
      DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kDelphiEpoch);
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& result) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 ||
      msec > 999)
    return false;
  result = ((hour * 3600 + minute * 60 + second) * 1000.0 + msec) / MSecsPerDay;
  return true;
}

bool TryEncodeDateTime(const TDateParts& p, TDateTime& result) {
  TDateTime date = 0, time = 0;
  if (!TryEncodeDate(p.Year, p.Month, p.Day, date) ||
      !TryEncodeTime(p.Hour, p.Minute, p.Second, p.MilliSecond, time))
    return false;
  result = date >= 0 ? date + time : date - time;
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime result = 0;
  if (!TryEncodeDate(year, month, day, result))
    throw Exception("Invalid argument to date encode");
  return result;
}

TDateTime EncodeDateTime(const TDateParts& parts) {
  TDateTime result = 0;
  if (!TryEncodeDateTime(parts, result))
    throw Exception("Invalid argument to date encode");
  return result;
}

TDateParts DecodeDateTime(TDateTime value) {
  // A value from outside (a record in shared memory) may be no date-time at
  // all, NaN included; it reads as all zeros instead of overflowing.
  if (!(value > kBeforeFirstDay && value < kAfterLastDay))
    return {};
  // Whole milliseconds, rounded once, so that 23:59:59.9996 never becomes 24:00.
  const double whole = std::trunc(value);
  auto msOfDay = static_cast<int64_t>(std::llround(std::fabs(value - whole) * MSecsPerDay));
  auto days = static_cast<int64_t>(whole);
  if (msOfDay >= static_cast<int64_t>(MSecsPerDay)) {
    msOfDay -= static_cast<int64_t>(MSecsPerDay);
    days += value >= 0 ? 1 : -1;
  }
  TDateParts p;
  CivilFromDays(days + kDelphiEpoch, p.Year, p.Month, p.Day);
  p.MilliSecond = static_cast<int>(msOfDay % 1000);
  p.Second = static_cast<int>(msOfDay / 1000 % 60);
  p.Minute = static_cast<int>(msOfDay / 60000 % 60);
  p.Hour = static_cast<int>(msOfDay / 3600000);
  return p;
}

int DateOf(TDateTime value) {
  const TDateParts p = DecodeDateTime(value);
  return static_cast<int>(
      DaysFromCivil(p.Year, static_cast<unsigned>(p.Month), static_cast<unsigned>(p.Day)) -
      kDelphiEpoch);
}

int DayOfWeek(TDateTime value) {
  // 1899-12-30 was a Saturday.
  const int64_t d = DateOf(value);
  return static_cast<int>(((d + 6) % 7 + 7) % 7) + 1;
}

std::string FormatDateTime(std::string_view pattern, TDateTime value) {
  const TDateParts p = DecodeDateTime(value);
  std::string out;
  size_t i = 0;
  while (i < pattern.size()) {
    const char c = pattern[i];
    if (c == '\'' || c == '"') {
      const size_t end = pattern.find(c, i + 1);
      const size_t stop = end == std::string_view::npos ? pattern.size() : end;
      out.append(pattern.substr(i + 1, stop - i - 1));
      i = stop == pattern.size() ? stop : stop + 1;
      continue;
    }
    const size_t n = RunLength(pattern, i);
    switch (std::tolower(static_cast<unsigned char>(c))) {
    case 'y':
      if (n >= 3)
        AppendPadded(out, p.Year, 4);
      else
        AppendPadded(out, p.Year % 100, 2);
      break;
    case 'm':
      AppendPadded(out, p.Month, n >= 2 ? 2 : 1);
      break;
    case 'd':
      AppendPadded(out, p.Day, n >= 2 ? 2 : 1);
      break;
    case 'h':
      AppendPadded(out, p.Hour, n >= 2 ? 2 : 1);
      break;
    case 'n':
      AppendPadded(out, p.Minute, n >= 2 ? 2 : 1);
      break;
    case 's':
      AppendPadded(out, p.Second, n >= 2 ? 2 : 1);
      break;
    case 'z':
      AppendPadded(out, p.MilliSecond, n >= 3 ? 3 : 1);
      break;
    default:
      out.append(pattern.substr(i, n));
      break;
    }
    i += n;
  }
  return out;
}
