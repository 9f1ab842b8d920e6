#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Days since 1899-12-30 in local time; the fraction is the time of day.
using TDateTime = double;

constexpr double MSecsPerDay = 86400000.0;
constexpr double OneSecond = 1.0 / 86400.0;
constexpr double OneMillisecond = 1.0 / MSecsPerDay;

struct TDateParts {
  int Year = 0, Month = 0, Day = 0;
  int Hour = 0, Minute = 0, Second = 0, MilliSecond = 0;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

bool TryEncodeDate(int year, int month, int day, TDateTime& result);
bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& result);
bool TryEncodeDateTime(const TDateParts& parts, TDateTime& result);
// Throws Exception on an invalid date or time.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeDateTime(const TDateParts& parts);

TDateParts DecodeDateTime(TDateTime value);
// Whole days, the date part of a date-time.
int DateOf(TDateTime value);
// 1 = Sunday ... 7 = Saturday.
int DayOfWeek(TDateTime value);

// Patterns: yyyy, yy, mm/m (month), dd/d, hh/h, nn/n (minutes), ss/s, zzz/z;
// text in single or double quotes and every other character is literal.
std::string FormatDateTime(std::string_view pattern, TDateTime value);
