// Time from the last byte of a caller-number packet written to the line to
// the first complete paint of the incoming notice popup, through the real
// teloria2 on a real X server, over 200 calls that each find the popup
// closed, the first one after start included. The benchmark plays the
// adapter itself (the virtual adapter's line code), so the moment of the
// write is known; the program reports the paint through its opt-in hook
// TELORIA2_PAINT_STAMP. Both times are CLOCK_MONOTONIC.
// Needs an X server:  xvfb-run -a -s "-screen 0 1280x1024x24" app_popup_latency_bench
#include "BenchResult.h"
#include "LogTail.h"
#include "PopupLine.h"
#include "ProgramProcess.h"
#include "base/CodePage.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kCalls = 200;

} // namespace

int main() {
  if (std::getenv("DISPLAY") == nullptr) {
    std::fprintf(stderr, "needs an X server, e.g. xvfb-run -a %s\n", "app_popup_latency_bench");
    return 2;
  }
  std::string pattern = (std::filesystem::temp_directory_path() / "teloria2-popup-XXXXXX").string();
  const std::string home = ::mkdtemp(pattern.data());
  std::filesystem::create_directories(home + "/run");
  std::filesystem::permissions(home + "/run", std::filesystem::perms::owner_all);
  TAdapterLine line(home + "/adapter");
  std::ofstream(home + "/teloria2.ini", std::ios::binary) << Utf8ToCp932(
      "[Settings]\r\nMirelKT5Port=" + home + "/adapter\r\nIncomingDisplayMode=1\r\n");
  ::unsetenv("QT_QPA_PLATFORM");
  TProgramProcess program(TELORIA2_PROGRAM, {"-arun"},
                          {"TELORIA2_HOME=" + home, "XDG_RUNTIME_DIR=" + home + "/run",
                           "TELORIA2_PAINT_STAMP=" + home + "/paint.txt"},
                          home + "/output.txt");
  TLogTail log(home + "/logs");
  const auto connected = [&] {
    for (const std::string& text : log.NewLines())
      if (text.find("MirelUSB/RX2に接続しました。") != std::string::npos)
        return true;
    return false;
  };
  if (!line.ServeUntil(connected, 30000)) {
    std::fprintf(stderr, "teloria2 did not connect (see %s)\n", home.c_str());
    return 1;
  }

  TStampFile stamps(home + "/paint.txt");
  const std::vector<double> millis = PlayCalls(line, stamps, kCalls);
  if (millis.empty())
    return 1;
  program.Terminate();
  program.WaitExit();
  std::error_code ignored;
  std::filesystem::remove_all(home, ignored);

  std::vector<double> sorted = millis;
  std::sort(sorted.rbegin(), sorted.rend());
  std::printf("slowest calls: %.1f %.1f %.1f %.1f %.1f ms\n", sorted[0], sorted[1], sorted[2],
              sorted[3], sorted[4]);
  PrintResult("first call after start to popup painted", FigureText(millis.front(), "ms"));
  PrintResult("caller number on the line to popup painted, median",
              FigureText(Percentile(millis, 50), "ms"));
  PrintUnder("caller number on the line to popup painted, p99", Percentile(millis, 99), 16.7, "ms");
  PrintUnder("caller number on the line to popup painted, max", sorted.front(), 33, "ms");
  return 0;
}
