#pragma once

#include <optional>
#include <string>

#include "CallRequest.h"

// What the tool was asked to do.
struct TCommandLine {
  enum class TMode { Query, Call, Serve };
  TMode Mode = TMode::Query;
  TCallRequest Call;      // Call
  std::string MemoryFile; // Serve; empty: every record empty
};

constexpr const char* Usage = "usage: teloria2-number-sim query\n"
                              "       teloria2-number-sim call KIND GROUP [NUMBER] "
                              "[--ring S] [--talk T]   (KIND 1-5 or 7)\n"
                              "       teloria2-number-sim serve [--memory FILE]\n";

// Empty when the arguments do not fit the usage.
std::optional<TCommandLine> ParseCommandLine(int argc, const char* const* argv);
