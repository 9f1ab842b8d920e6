#pragma once

#include "base/Clock.h"
#include "base/CodePage.h"
#include "common2/MirelKT5Comm.h"
#include "core/IRingSound.h"
#include "core/ITrayIcon.h"
#include "core/IWindows.h"
#include "core/MainForm.h"
#include "data/KsoCtiDb.h"
#include "settings/AppSettings.h"
#include "settings/Logging.h"
#include "support/RunProgram.h"
#include "support/TempFolder.h"

#include <QCoreApplication>
#include <QTest>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// The windows the controller would open; the window tests only count them.
class TCountingWindows final : public IWindows {
public:
  void ShowIncomingNotice(const TTableRow&) override { ++Notices; }
  void ShowRingAnnouncement() override {}
  void HideIncomingNotice() override {}
  void ShowNumberDisplay(const TTableRow&) override { ++Notices; }
  void OpenNumberEdit(const TTableRow*) override {}
  void ShowPhoneList() override {}
  void PhoneListRowSaved(const TTableRow&) override {}
  void ShowIncomingList() override {}
  void IncomingListAddCall(const TTableRow&) override {}
  void IncomingListReload() override {}
  void ShowDeviceMemory() override {}
  void ShowSettings() override {}
  void ShowAbout() override {}
  int Notices = 0;
};

class TRecordingTray final : public ITrayIcon {
public:
  void SetImageIndex(int index) override { imageIndex_ = index; }
  int ImageIndex() const override { return imageIndex_; }
  void SetVisible(bool visible) override { visible_ = visible; }
  bool Visible() const override { return visible_; }
  void ShowBalloon(const std::string&, const std::string&, TBalloonIcon, int) override {}
  void HideBalloon() override {}

private:
  int imageIndex_ = -1;
  bool visible_ = false;
};

class TSilentSound final : public IRingSound {
public:
  void PlayRingSound() override {}
  void StopRingSound() override {}
};

// A program folder of its own, a fixed clock, every log line kept, the
// autostart folder inside the test folder, and on request the real
// controller with fake tray and windows.
class TUiHarness {
public:
  TUiHarness() {
    SetFixedNow(EncodeDateTime({2026, 12, 8, 7, 5, 3, 0}));
    std::filesystem::create_directories(Path("run"));
    setenv("XDG_RUNTIME_DIR", Path("run").c_str(), 1);
    setenv("XDG_CONFIG_HOME", Path("config").c_str(), 1);
    AppSettings = TAppSettings();
    for (TFileLogger* logger : {&MainLogger, &ScanLogger}) {
      logger->SetLogDir(Path("logs"));
      logger->SetLevels(AllLogLevels);
    }
  }
  ~TUiHarness() {
    form.reset();
    CtiDb.reset();
    MainLogger.Close();
    ScanLogger.Close();
    ClearFixedNow();
    AppSettings = TAppSettings();
    unsetenv("XDG_CONFIG_HOME");
  }

  std::string Path(const std::string& name) const { return home.Path() + "/" + name; }

  // Creates the controller and runs its start-up with AppSettings as they are.
  bool StartController() {
    std::filesystem::copy_file(BinFolder() + "/teloria2.db3.init", Path("teloria2.db3.init"),
                               std::filesystem::copy_options::overwrite_existing);
    TMainFormDeps deps;
    deps.Windows = &windows;
    deps.Tray = &tray;
    deps.Sound = std::make_unique<TSilentSound>();
    deps.Quit = [] {};
    deps.ScannerPorts = [] { return std::vector<std::string>(); };
    deps.Arguments = {"teloria2", "-arun"};
    form = std::make_unique<TMainForm>(std::move(deps));
    return QTest::qWaitFor([this] { return form->Ready; }, 5000);
  }

  bool WaitConnected(int timeoutMs = 10000) {
    return QTest::qWaitFor([this] { return form->Comm->IsOpen(); }, timeoutMs);
  }

  std::string MainLog() const { return LogText("ksocti"); }
  std::string ScanLogText() const { return LogText("scan"); }

  TTempFolder home;
  TProgramHome programHome{home.Path()};
  TCountingWindows windows;
  TRecordingTray tray;
  std::unique_ptr<TMainForm> form;

private:
  std::string LogText(const char* prefix) const {
    return Cp932ToUtf8(
        ReadFile(Path("logs/") + prefix + "." + FormatDateTime("yyyymmdd", Now()) + ".log"));
  }
};
