#pragma once

#include <string>
#include <string_view>

// The adapter reports a caller without a number by a one-letter code; these
// codes are shown as words wherever a number is shown or exported.
std::string NumberDisplayText(std::string_view phoneNumber);
// A real number that may have a phone-book entry: not empty and starting with
// an ASCII digit.
bool IsValidNumber(std::string_view phoneNumber);
