// teloria2-soak [CALLS] [--replug-every N]: the real teloria2 against the
// virtual adapter for CALLS calls (default 1000), the adapter pulled and
// plugged back after every N calls (default 25). Prints one table; exits 1 on
// a lost or doubled call, a wrong call outcome, a damaged database, more
// open file descriptors at the end than at the start, or a program that did
// not end cleanly. The program folder is kept when the run fails.
#include "CallPlan.h"
#include "SequenceCheck.h"
#include "SoakDriver.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

struct TOptions {
  int Calls = 1000;
  int ReplugEvery = 25;
};

bool ParseOptions(int argc, char** argv, TOptions& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--replug-every" && i + 1 < argc)
      options.ReplugEvery = std::atoi(argv[++i]);
    else if (!arg.empty() && arg.find_first_not_of("0123456789") == std::string::npos)
      options.Calls = std::atoi(arg.c_str());
    else
      return false;
  }
  return options.Calls > 0 && options.ReplugEvery > 0;
}

std::string BinFolder() {
  const char* bin = std::getenv("TELORIA2_BIN");
  return bin != nullptr ? bin : TELORIA2_BIN_DEFAULT;
}

std::string NewHome() {
  std::string pattern = (std::filesystem::temp_directory_path() / "teloria2-soak-XXXXXX").string();
  return ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

double Median(std::vector<double> values) {
  if (values.empty())
    return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void Row(const char* measure, const std::string& figure) {
  std::printf("%-44s %s\n", measure, figure.c_str());
}

std::string Format(const char* pattern, double a, double b) {
  char text[96];
  std::snprintf(text, sizeof text, pattern, a, b);
  return text;
}

} // namespace

int main(int argc, char** argv) {
  TOptions options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr, "usage: teloria2-soak [CALLS] [--replug-every N]\n");
    return 2;
  }
  // The adapter simulator is found through the same variable.
  setenv("TELORIA2_BIN", BinFolder().c_str(), 0);
  const std::string home = NewHome();
  TSoakDriver driver(BinFolder(), home);
  if (home.empty() || !driver.Start())
    return 1;

  std::vector<TSoakCall> calls;
  int replugs = 0, failedReplugs = 0;
  for (int i = 1; i <= options.Calls && driver.ProgramRunning(); ++i) {
    calls.push_back(PlanCall(i));
    driver.PlaceCall(calls.back());
    if (i % options.ReplugEvery == 0) {
      ++replugs;
      failedReplugs += driver.Replug() ? 0 : 1;
    }
    if (i % 100 == 0)
      std::fprintf(stderr, "soak: %d calls\n", i);
  }
  driver.Finish();

  const std::vector<THistoryRow> rows = driver.History().Rows();
  const TSequenceResult sequence = CheckSequence(calls, rows);
  const std::string integrity = driver.History().IntegrityCheck();
  const TSoakFigures& f = driver.Figures();
  const auto& reconnects = f.ReconnectSeconds;
  const bool passed = f.Placed == options.Calls && f.Stalled == 0 && sequence.Lost == 0 &&
                      sequence.Doubled == 0 && sequence.InOrder && sequence.WrongOutcome == 0 &&
                      integrity == "ok" && f.FdsEnd <= f.FdsStart && f.FdsEnd > 0 &&
                      failedReplugs == 0 && f.ExitCode == 0;

  std::printf("\n%-44s %s\n", "measure", "figure");
  Row("calls placed", std::to_string(f.Placed));
  Row("rows recorded", std::to_string(rows.size()));
  Row("calls lost", std::to_string(sequence.Lost));
  Row("calls doubled", std::to_string(sequence.Doubled));
  Row("calls out of order", sequence.InOrder ? "0" : "yes");
  Row("calls with a wrong outcome", sequence.InOrder ? std::to_string(sequence.WrongOutcome) : "-");
  Row("calls not complete in 15 s", std::to_string(f.Stalled));
  Row("integrity check", integrity);
  Row("resident memory after call 1 / at end",
      Format("%.1f MB / %.1f MB", f.ResidentStartKiB / 1024.0, f.ResidentEndKiB / 1024.0));
  Row("open file descriptors after call 1 / at end",
      std::to_string(f.FdsStart) + " / " + std::to_string(f.FdsEnd));
  Row("unplug and replug",
      std::to_string(replugs) + " (" + std::to_string(failedReplugs) + " without reconnection)");
  Row("reconnection time median / max",
      Format("%.2f s / %.2f s", Median(reconnects),
             reconnects.empty() ? 0.0 : *std::max_element(reconnects.begin(), reconnects.end())));
  Row("program exit code", std::to_string(f.ExitCode));
  Row("result", passed ? "PASS" : "FAIL (program folder kept: " + home + ")");
  std::fflush(stdout);
  std::error_code ignored;
  if (passed)
    std::filesystem::remove_all(home, ignored);
  return passed ? 0 : 1;
}
