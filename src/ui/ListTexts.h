#pragma once

#include <string>
#include <string_view>

// Texts the list windows derive from stored values, shared by their grids,
// filters, copies and exports.

// A stored date as "yyyy/mm/dd hh:nn:ss"; "" when empty or not a date.
std::string ListDateText(std::string_view stored);
// Seconds as "%.2d:%.2d:%.2d" hours, minutes, seconds; hours are not capped.
std::string DurationText(int seconds);
// The widest texts of the columns of a fixed form, for sizing the columns:
// a date, a number at the 20-digit input limit, a time below 100 hours and
// a row number below 100000.
extern const char* const WidestDateText;
extern const char* const WidestNumberText;
extern const char* const WidestDurationText;
extern const char* const WidestRowNumberText;
// The integer of a stored value, 0 when it is not one.
int IntOrZero(std::string_view stored);
// Case-sensitive substring test.
bool ContainsText(std::string_view text, std::string_view part);
