// Time from the last byte of a caller-number packet written to the line to
// the first complete paint of the incoming notice popup, through the real
// teloria2 on a real X server, over 200 calls that each find the popup
// closed, the first one after start included. The benchmark plays the
// adapter itself (the virtual adapter's line code), so the moment of the
// write is known; the program reports the paint through its opt-in hook
// TELORIA2_PAINT_STAMP. Both times are CLOCK_MONOTONIC.
// Built a second time as app_popup_loaded_latency_bench: the same calls with
// every core kept busy at normal priority by stress-ng, started here.
// Needs an X server:  xvfb-run -a -s "-screen 0 1280x1024x24" app_popup_latency_bench
#include "BenchResult.h"
#include "PopupProgram.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kCalls = 200;

#ifdef TELORIA2_BUSY_CORES
constexpr const char* kLoad = ", every core busy";
#else
constexpr const char* kLoad = "";
#endif

// stress-ng with one CPU worker per core, or nothing on an idle run; false
// when it could not start. It runs in a session of its own, as another
// program on a desktop does: the kernel then shares the cores between its
// workers and the rest, not between every thread alike.
bool BusyCores(const std::string& home, std::unique_ptr<TProgramProcess>& load) {
#ifdef TELORIA2_BUSY_CORES
  load = std::make_unique<TProgramProcess>(
      TELORIA2_STRESS_NG,
      std::vector<std::string>{"--cpu", std::to_string(::sysconf(_SC_NPROCESSORS_ONLN))},
      std::vector<std::string>{}, home + "/stress.txt", [] { return ::setsid() >= 0; });
  // One that cannot start ends at once; one that runs is still there.
  if (load->WaitExit(500) >= 0) {
    std::fprintf(stderr, "%s did not start\n", TELORIA2_STRESS_NG);
    return false;
  }
#else
  (void)home;
  (void)load;
#endif
  return true;
}

std::string Measure(const char* text) {
  return std::string(text) + kLoad;
}

} // namespace

int main() {
  if (std::getenv("DISPLAY") == nullptr) {
    std::fprintf(stderr, "needs an X server, e.g. xvfb-run -a %s\n", "app_popup_latency_bench");
    return 2;
  }
  TPopupProgram program;
  if (!program.Start())
    return 1;
  std::unique_ptr<TProgramProcess> load;
  if (!BusyCores(program.Home(), load))
    return 1;
  const std::vector<double> millis = PlayCalls(program.Line(), program.Stamps(), kCalls);
  load.reset();
  if (millis.empty())
    return 1;
  program.Succeeded();

  std::vector<double> sorted = millis;
  std::sort(sorted.rbegin(), sorted.rend());
  std::printf("slowest calls: %.1f %.1f %.1f %.1f %.1f ms\n", sorted[0], sorted[1], sorted[2],
              sorted[3], sorted[4]);
  PrintResult(Measure("first call after start to popup painted"), FigureText(millis.front(), "ms"));
  PrintResult(Measure("caller number on the line to popup painted, median"),
              FigureText(Percentile(millis, 50), "ms"));
  PrintUnder(Measure("caller number on the line to popup painted, p99"), Percentile(millis, 99),
             16.7, "ms");
  PrintUnder(Measure("caller number on the line to popup painted, max"), sorted.front(), 33, "ms");
  return 0;
}
