// Time from a caller-number group event entering OnSessionGroup to the
// controller having recorded the call and shown it through IWindows, with a
// database at its limits (10,000 entries, 3,000 calls); and from the paint
// of the call's window to the start of the caller's command.
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

// A call of a number whose entry opens a document: microseconds from its
// window's paint to the opening.
double CommandAfterPaint(TMainForm& form, const TTimingWindows& windows,
                         const TClock::time_point& opened, int call) {
  const std::string number = "0990000" + std::to_string(1000 + call);
  TTableRow entry;
  entry.SetValue("phone_number", number);
  entry.SetValue("exec_cmd", "mailto:bench@example.invalid");
  CtiDb->InsertPhoneNumber(entry);
  auto ev = std::make_shared<TKT5GroupEventArgs>();
  ev->PacketKind = 2;
  ev->GroupNo = 10000 + call;
  ev->NumberReceived = true;
  ev->PhoneNumber = number;
  const TClock::time_point before = opened;
  form.OnSessionGroup(form.CommSim(), ev);
  while (opened == before)
    QCoreApplication::sendPostedEvents(nullptr, 0);
  return std::chrono::duration<double, std::micro>(opened - windows.paintedAt).count();
}

} // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  PrepareBenchHome("teloria2-bench-core");
  AppSettings.MirelKT5Port = "TEST";
  AppSettings.ExecCmdEnabled = true;
  AppSettings.LogLevel = 0;

  TTimingWindows windows;
  TQuietTray tray;
  TMainFormDeps deps = QuietDeps(windows, tray);
  TClock::time_point opened;
  deps.Opener = [&](const std::string&) {
    opened = TClock::now();
    return true;
  };
  TMainForm form(std::move(deps));
  if (!QTest::qWaitFor([&] { return form.Ready(); }, 10000))
    return 1;
  FillToTheLimits(*CtiDb);

  std::vector<double> micros;
  std::vector<double> commandMicros;
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
    if (call % 5 == 0) // a caller with a command, one in five
      commandMicros.push_back(CommandAfterPaint(form, windows, opened, call));
  }
  std::sort(micros.begin(), micros.end());
  const std::string measure = "caller number event to call recorded and shown";
  PrintResult(measure + ", median", FigureText(micros[micros.size() / 2] / 1000, "ms", 2));
  PrintUnder(measure + ", p99", micros[micros.size() * 99 / 100] / 1000, 3, "ms", 2);
  std::sort(commandMicros.begin(), commandMicros.end());
  PrintUnder("call's window painted to the caller's command started, max",
             commandMicros.back() / 1000, 20, "ms", 2);
  return 0;
}
