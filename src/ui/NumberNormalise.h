#pragma once

#include <string>
#include <string_view>

// A typed number as plain digits: full-width digits become ASCII digits and
// every other character (hyphens, parentheses, blanks, letters, any
// double-byte character) is dropped.
std::string NormaliseTypedNumber(std::string_view text);

// A number read from an import file: full-width digits become ASCII digits,
// hyphens and parentheses (half- and full-width) are deleted; false unless
// what remains is one or more ASCII digits.
bool NormaliseImportNumber(std::string_view text, std::string& number);
