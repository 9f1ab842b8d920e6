// Time from a caller-number group event entering OnSessionGroup to the
// controller having recorded the call and shown it through IWindows, with a
// database at its limits (10,000 entries, 3,000 calls).
#include "BenchDatabase.h"
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

class TTimingWindows final : public IWindows {
public:
  void ShowIncomingNotice(const TTableRow&) override { ++shown; }
  void ShowRingAnnouncement() override {}
  void HideIncomingNotice() override {}
  void ShowNumberDisplay(const TTableRow&) override { ++shown; }
  void OpenNumberEdit(const TTableRow*) override {}
  void ShowPhoneList() override {}
  void PhoneListRowSaved(const TTableRow&) override {}
  void ShowIncomingList() override {}
  void IncomingListAddCall(const TTableRow&) override {}
  void IncomingListReload() override {}
  void ShowDeviceMemory() override {}
  void ShowSettings() override {}
  void ShowAbout() override {}
  int shown = 0;
};

class TQuietTray final : public ITrayIcon {
public:
  void SetImageIndex(int) override {}
  int ImageIndex() const override { return 0; }
  void SetVisible(bool) override {}
  bool Visible() const override { return true; }
  void ShowBalloon(const std::string&, const std::string&, TBalloonIcon, int) override {}
  void HideBalloon() override {}
};

class TSilentSound final : public IRingSound {
public:
  void PlayRingSound() override {}
  void StopRingSound() override {}
};

} // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const std::filesystem::path home = std::filesystem::temp_directory_path() / "teloria2-bench-core";
  std::filesystem::remove_all(home);
  std::filesystem::create_directories(home / "run");
  std::filesystem::permissions(home / "run", std::filesystem::perms::owner_all);
  setenv("TELORIA2_HOME", home.c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (home / "run").c_str(), 1);
  std::filesystem::copy_file(TELORIA_DB_TEMPLATE, home / "teloria2.db3.init");
  AppSettings.MirelKT5Port = "TEST";
  AppSettings.ExecCmdEnabled = false;
  AppSettings.LogLevel = 0;

  TTimingWindows windows;
  TQuietTray tray;
  TMainFormDeps deps;
  deps.Windows = &windows;
  deps.Tray = &tray;
  deps.Sound = std::make_unique<TSilentSound>();
  deps.Quit = [] {};
  deps.Arguments = {"bench", "-arun"};
  TMainForm form(std::move(deps));
  if (!QTest::qWaitFor([&] { return form.Ready; }, 10000))
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
    form.OnSessionGroup(*form.CommSim, ev);
    while (windows.shown == before)
      QCoreApplication::sendPostedEvents(nullptr, 0);
    micros.push_back(std::chrono::duration<double, std::micro>(TClock::now() - start).count());
  }
  std::sort(micros.begin(), micros.end());
  std::printf("calls: %zu, median %.0f us, p99 %.0f us, max %.0f us (goal: p99 under 3000 us)\n",
              micros.size(), micros[micros.size() / 2], micros[micros.size() * 99 / 100],
              micros.back());
  return 0;
}
