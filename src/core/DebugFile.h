#pragma once

#include <string>
#include <string_view>
#include <vector>

// Splits a line by the comma-text rule: fields end at commas and at blanks
// (any character up to and including space) outside double quotes; a quoted
// field takes a doubled quote as one quote.
std::vector<std::string> SplitCommaText(std::string_view line);

// Key and number from the first line of debug.txt in the program folder;
// both empty when the file is missing, unreadable, not a regular file or has
// fewer than two fields.
struct TDebugLine {
  std::string Key;
  std::string Number;
};
TDebugLine ReadDebugFile();
