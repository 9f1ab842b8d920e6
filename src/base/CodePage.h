#pragma once

#include <string>
#include <string_view>

// Text lives in UTF-8 in memory; files of the Windows heritage are CP932 on
// disk. Characters that the other side cannot hold become "?".
std::string Utf8ToCp932(std::string_view utf8);
std::string Cp932ToUtf8(std::string_view cp932);
// Length of the text once written in CP932 (the unit of the byte limits).
size_t Cp932ByteLength(std::string_view utf8);
// First byte of a CP932 double-byte character.
bool IsCp932LeadByte(unsigned char byte);
