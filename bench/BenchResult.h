#pragma once

// The figures every benchmark reports, one line each, for the table that
// scripts/bench prints:
//   RESULT <tab> measure <tab> figure <tab> goal <tab> pass|fail|-
#include <cstdio>
#include <string>

inline void PrintResult(const std::string& measure, const std::string& figure,
                        const std::string& goal = "-", const char* verdict = "-") {
  std::printf("RESULT\t%s\t%s\t%s\t%s\n", measure.c_str(), figure.c_str(), goal.c_str(), verdict);
  std::fflush(stdout);
}

// "12.3 ms" with `decimals` places.
inline std::string FigureText(double value, const char* unit, int decimals = 1) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f %s", decimals, value, unit);
  return text;
}

// A figure whose goal is to stay under `limit` (same unit).
inline void PrintUnder(const std::string& measure, double value, double limit, const char* unit,
                       int decimals = 1) {
  char goal[64];
  std::snprintf(goal, sizeof goal, "under %g %s", limit, unit);
  PrintResult(measure, FigureText(value, unit, decimals), goal, value < limit ? "pass" : "fail");
}
