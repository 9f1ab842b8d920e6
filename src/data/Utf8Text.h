#pragma once

#include <string>
#include <string_view>

// True when the bytes are well-formed UTF-8 (no cut-short sequence, no
// missing continuation byte, no overlong form or surrogate).
bool IsValidUtf8(std::string_view bytes);
// Text read from the database: a value that is not valid UTF-8 reads as "",
// never as a half-decoded string.
std::string Utf8OrEmpty(std::string_view bytes);
