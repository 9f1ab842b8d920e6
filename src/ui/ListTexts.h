#pragma once

#include <string>
#include <string_view>

// Texts the list windows derive from stored values, shared by their grids,
// filters, copies and exports.

// A stored date as "yyyy/mm/dd hh:nn:ss"; "" when empty or not a date.
std::string ListDateText(std::string_view stored);
// Seconds as "%.2d:%.2d:%.2d" hours, minutes, seconds; hours are not capped.
std::string DurationText(int seconds);
// The integer of a stored value, 0 when it is not one.
int IntOrZero(std::string_view stored);
// Case-sensitive substring test.
bool ContainsText(std::string_view text, std::string_view part);
// Substring test ignoring the case of ASCII letters, as SQLite's LIKE does.
bool ContainsTextAsciiCase(std::string_view text, std::string_view part);
