#pragma once

#include <optional>
#include <string>
#include <string_view>

// True when the bytes are well-formed UTF-8 (no cut-short sequence, no
// missing continuation byte, no overlong form or surrogate).
bool IsValidUtf8(std::string_view bytes);
// The characters (code points) of well-formed UTF-8; nothing for anything else.
std::optional<size_t> Utf8CharCount(std::string_view bytes);
// Text read from the database: a value that is not valid UTF-8 reads as "",
// never as a half-decoded string.
std::string Utf8OrEmpty(std::string_view bytes);
