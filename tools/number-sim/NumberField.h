#pragma once

#include <string>
#include <string_view>

// The adapter's number field holds 20 bytes; numbers travel in CP932.
constexpr size_t NumberFieldBytes = 20;

// `utf8` in CP932, cut to at most 20 bytes without splitting a double-byte
// character.
std::string NumberFieldText(std::string_view utf8);
// Left-aligned in the 20-byte field, padded with spaces (as the adapter sends it).
std::string PaddedNumberField(std::string_view cp932);
