#pragma once

#include <string>
#include <string_view>

// The adapter reports a caller without a number by a one-letter code; these
// codes are shown as words wherever a number is shown or exported.
std::string NumberDisplayText(std::string_view phoneNumber);
// A real number that may have a phone-book entry: not empty and starting with
// an ASCII digit.
bool IsValidNumber(std::string_view phoneNumber);

// A typed number as plain digits: full-width digits become ASCII digits and
// every other character (hyphens, parentheses, blanks, letters, any
// double-byte character) is dropped.
std::string NormaliseTypedNumber(std::string_view text);

// A number read from an import file: full-width digits become ASCII digits,
// hyphens and parentheses (half- and full-width) are deleted; false unless
// what remains is one or more ASCII digits.
bool NormaliseImportNumber(std::string_view text, std::string& number);
