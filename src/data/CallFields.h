#pragma once

#include <string_view>

// What a call's fields may hold when they come from anywhere but the adapter
// itself (a file, another program): no more than the adapter could send.

// 1 to 20 printable ASCII characters: the adapter's number field, or one of
// its one-letter codes for a caller without a number.
bool IsCallNumber(std::string_view number);
// "yyyy/mm/dd hh:nn:ss.zzz" naming a real date and time in the years the
// adapter's two-digit dates can mean (2000 to 2099).
bool IsCallDateText(std::string_view date);
