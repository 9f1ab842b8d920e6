#pragma once

#include <string>
#include <string_view>
#include <vector>

// Trimming removes blanks and control characters: every byte with code <= 32.
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);
// Trim without a copy.
std::string_view TrimmedView(std::string_view s);

// ASCII case folding, as names of sections, keys and columns compare.
std::string UpperCaseAscii(std::string_view s);
std::string LowerCaseAscii(std::string_view s);
bool SameText(std::string_view a, std::string_view b);
bool StartsWithText(std::string_view s, std::string_view prefix);

std::vector<std::string> SplitString(std::string_view s, char separator);

// UTF-8 text without its control characters (C0, DEL and C1).
std::string WithoutControlCharacters(std::string_view s);

// Signed 32-bit decimal, or hexadecimal after "0x"/"0X" for texts longer than
// two characters; false for anything else, including overflow.
bool TryParseInt32(std::string_view text, int& value);
