#pragma once

#include <string>

// One line on standard output, flushed at once: the tests and the demo read
// the tool's answers line by line while it runs.
void PrintLine(const std::string& line);
// A diagnostic on standard error.
void PrintError(const std::string& text);
