#include "Output.h"

#include <cstdio>

void PrintLine(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void PrintError(const std::string& text) {
  std::fprintf(stderr, "teloria2-number-sim: %s\n", text.c_str());
}
