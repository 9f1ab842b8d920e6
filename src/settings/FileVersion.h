#pragma once

#include <string>

// The version compiled into the program for its own executables (the running
// one and its teloria2* siblings); "" for any other file.
std::string GetFileVersionText(const std::string& fileName);
