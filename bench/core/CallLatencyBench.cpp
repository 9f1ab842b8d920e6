// Time from a caller-number group event entering OnSessionGroup to the
// controller having recorded the call and shown it through IWindows, with a
// database at its limits (10,000 entries, 3,000 calls).
#include "BenchController.h"
#include "BenchDatabase.h"
#include "BenchHome.h"
#include "BenchResult.h"
#include "core/MainForm.h"
#include "core/MirelKT5CommSim.h"
#include "data/KsoCtiDb.h"
#include "settings/AppSettings.h"

#include <QCoreApplication>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

} // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  PrepareBenchHome("teloria2-bench-core");
  AppSettings.MirelKT5Port = "TEST";
  AppSettings.ExecCmdEnabled = false;
  AppSettings.LogLevel = 0;

  TTimingWindows windows;
  TQuietTray tray;
  TMainForm form(QuietDeps(windows, tray));
  if (!QTest::qWaitFor([&] { return form.Ready(); }, 10000))
    return 1;
  FillToTheLimits(*CtiDb);

  std::vector<double> micros;
  for (int call = 0; call < 500; ++call) {
    auto ev = std::make_shared<TKT5GroupEventArgs>();
    ev->PacketKind = 2;
    ev->GroupNo = call;
    ev->NumberReceived = true;
    ev->PhoneNumber = BenchNumber(call * 17 % 12000); // most known, some new
    const int before = windows.shown;
    const auto start = TClock::now();
    form.OnSessionGroup(form.CommSim(), ev);
    while (windows.shown == before)
      QCoreApplication::sendPostedEvents(nullptr, 0);
    micros.push_back(std::chrono::duration<double, std::micro>(TClock::now() - start).count());
  }
  std::sort(micros.begin(), micros.end());
  const std::string measure = "caller number event to call recorded and shown";
  PrintResult(measure + ", median", FigureText(micros[micros.size() / 2] / 1000, "ms", 2));
  PrintUnder(measure + ", p99", micros[micros.size() * 99 / 100] / 1000, 3, "ms", 2);
  return 0;
}
