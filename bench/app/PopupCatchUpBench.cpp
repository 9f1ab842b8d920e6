// Time from a caller-number packet written to the line to the popup's first
// complete paint, for calls that arrive while the program reads the adapter's
// 30 stored calls (the catch-up at each connection), the reads answered with
// the simulator's timing at 9600 baud. Calls are played as in the popup
// benchmark; a call counts when the catch-up was still running at its paint.
// The adapter is pulled and plugged in again whenever a catch-up has ended,
// so that the next calls meet a new one.
// Needs an X server:  xvfb-run -a -s "-screen 0 1280x1024x24" app_popup_catchup_latency_bench
#include "BenchResult.h"
#include "PopupProgram.h"

#include <algorithm>
#include <vector>

namespace {

constexpr size_t kCalls = 100;
constexpr int kSessions = 60;
constexpr const char* kCaughtUp = "本体メモリの着信を確認しました。";

} // namespace

int main() {
  if (std::getenv("DISPLAY") == nullptr) {
    std::fprintf(stderr, "needs an X server, e.g. xvfb-run -a %s\n",
                 "app_popup_catchup_latency_bench");
    return 2;
  }
  TPopupProgram program(kSimulatorReplyMs);
  StoreMemoryCalls(program.Line().Responder());
  if (!program.Start())
    return 1;
  TShownPopup popup;
  std::vector<double> millis;
  int call = 0;
  for (int session = 1; session <= kSessions && millis.size() < kCalls; ++session) {
    if (session > 1) {
      program.Line().Replug();
      if (!program.WaitForLog("MirelUSB/RX2に接続しました。", 30000))
        return 1;
    }
    while (millis.size() < kCalls) {
      const double ms = PlayCall(program.Line(), program.Stamps(), popup, ++call);
      if (ms < 0)
        return 1;
      // The log is read after the paint: a catch-up that ended before it
      // may have ended before the call came, so the call does not count.
      if (program.LogSays(kCaughtUp))
        break;
      millis.push_back(ms);
    }
  }
  if (millis.size() < kCalls) {
    std::fprintf(stderr, "only %zu calls met a catch-up\n", millis.size());
    return 1;
  }
  program.Succeeded();
  std::printf("calls played %d, during a catch-up %zu\n", call, millis.size());
  PrintResult("caller number during the catch-up to popup painted, median",
              FigureText(Percentile(millis, 50), "ms"));
  PrintUnder("caller number during the catch-up to popup painted, p99", Percentile(millis, 99),
             16.7, "ms");
  return 0;
}
