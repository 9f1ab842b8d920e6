// Time from start-up to the last record of a journal of 10,000 records (the
// writes an earlier run could not make) in the history: calls and their
// outcomes, with a database at its limits.
#include "BenchController.h"
#include "BenchDatabase.h"
#include "BenchHome.h"
#include "BenchResult.h"
#include "core/PendingRecord.h"
#include "data/KsoCtiDb.h"
#include "settings/AppSettings.h"

#include <QCoreApplication>
#include <QTest>
#include <chrono>
#include <fmt/printf.h>
#include <fstream>

namespace {

using TClock = std::chrono::steady_clock;
constexpr int Records = 10000;

void WriteJournal(const std::filesystem::path& path) {
  std::ofstream out(path, std::ios::binary);
  for (int i = 0; i < Records / 2; ++i) {
    const TCallIdentity call{
        fmt::sprintf("2026/11/%02d %02d:%02d:00.000", 1 + i / 1440, i / 60 % 24, i % 60),
        BenchNumber(i * 7 % 12000)};
    out << PendingRecordLine({2, call, 0}) << PendingRecordLine({5, call, 0});
  }
}

} // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const std::filesystem::path home = PrepareBenchHome("teloria2-bench-replay");
  AppSettings.MirelKT5Port = "TEST";
  AppSettings.LogLevel = 0;
  {
    TTimingWindows windows;
    TQuietTray tray;
    TMainForm form(QuietDeps(windows, tray));
    if (!QTest::qWaitFor([&] { return form.Ready(); }, 10000))
      return 1;
    FillToTheLimits(*CtiDb);
  }
  CtiDb.reset();
  WriteJournal(home / "teloria2.pending");
  std::filesystem::permissions(home / "teloria2.pending", std::filesystem::perms::owner_read |
                                                              std::filesystem::perms::owner_write);
  TTimingWindows windows;
  TQuietTray tray;
  const auto start = TClock::now();
  TMainForm form(QuietDeps(windows, tray));
  if (!QTest::qWaitFor([&] { return form.Ready() && !form.ReplayTimer().isActive(); }, 600000))
    return 1;
  const double seconds = std::chrono::duration<double>(TClock::now() - start).count();
  PrintUnder("journal of 10,000 records written at start-up", seconds, 2, "s", 2);
  return 0;
}
