#pragma once

#include "base/Clock.h"
#include "base/CodePage.h"
#include "core/MainForm.h"
#include "data/KsoCtiDb.h"
#include "fakes/ControllerFakes.h"
#include "settings/AppSettings.h"
#include "settings/Logging.h"
#include "settings/SharedValue.h"
#include "support/RunProgram.h"
#include "support/TempFolder.h"

#include <QCoreApplication>
#include <QTest>
#include <filesystem>

// A controller with fake windows, tray and sound in a program folder of its
// own, with a fixed clock and every log line kept.
class TControllerHarness {
public:
  TControllerHarness() {
    SetFixedNow(EncodeDateTime({2026, 12, 8, 7, 5, 3, 0}));
    std::filesystem::create_directories(home.Path() + "/run");
    setenv("XDG_RUNTIME_DIR", (home.Path() + "/run").c_str(), 1);
    AppSettings = TAppSettings();
    // The adapter's memory is read only where a test asks for it: the fake
    // lines would otherwise see its commands among their own.
    AppSettings.MemoryCatchUp = false;
    MainLogger.SetLogDir(home.Path() + "/logs");
    MainLogger.SetLevels(AllLogLevels);
    ScanLogger.SetLogDir(home.Path() + "/logs");
    ScanLogger.SetLevels(AllLogLevels);
  }
  ~TControllerHarness() {
    form.reset();
    CtiDb.reset();
    MainLogger.Close();
    ScanLogger.Close();
    ClearFixedNow();
    AppSettings = TAppSettings();
  }

  void CopyTemplate() {
    std::filesystem::copy_file(BinFolder() + "/teloria2.db3.init",
                               home.Path() + "/teloria2.db3.init");
  }

  // Creates the controller and runs its start-up.
  bool Start(std::vector<std::string> args = {"teloria2"}) {
    Create(std::move(args));
    return QTest::qWaitFor([this] { return form->Ready() || quits > 0; }, 5000);
  }

  // Creates the controller; its start-up runs once the event loop turns.
  void Create(std::vector<std::string> args = {"teloria2"}) {
    TMainFormDeps deps;
    deps.Windows = &windows;
    deps.Tray = &tray;
    deps.Sound = std::make_unique<TFakeSound>(&sounds);
    deps.ShowFatalError = [this](const std::string& text) {
      fatalErrors.push_back(text);
      goneAtFatalError =
          TSingleInstance().Held() && ReadSharedValue("TELORIA2_CLIENT_WINDOW_MMF") == 0;
    };
    deps.Instance = std::move(instance);
    deps.Quit = [this] { ++quits; };
    deps.ScannerPorts = [this] { return portLister ? portLister() : scannerPorts; };
    deps.ShareClients = shareClients;
    deps.DeviceFactory = deviceFactory;
    deps.Arguments = std::move(args);
    form = std::make_unique<TMainForm>(std::move(deps));
  }

  // Runs what the controller posted to itself, and what that posted.
  static void Drain() {
    for (int i = 0; i < 8; ++i)
      QCoreApplication::sendPostedEvents(nullptr, 0);
  }

  std::string MainLog() const { return LogFile("ksocti"); }
  std::string ScanLogText() const { return LogFile("scan"); }

  TTempFolder home;
  TProgramHome programHome{home.Path()};
  TFakeWindows windows;
  TFakeTray tray;
  std::vector<std::string> sounds;
  std::vector<std::string> fatalErrors;
  // The controller's single-instance lock (none: null).
  std::unique_ptr<TSingleInstance> instance;
  // When the fatal error showed, another start could have become the
  // instance: the lock was free and the window handle withdrawn.
  bool goneAtFatalError = false;
  std::vector<std::string> scannerPorts;
  // Replaces scannerPorts when set; runs on the scanner thread.
  TMirelKT5Scanner::TPortLister portLister;
  // Null: office sharing uses the real MQTT client.
  TMqttClientFactory shareClients;
  // Null: the termios devices.
  TSerialDeviceFactory deviceFactory;
  int quits = 0;
  std::unique_ptr<TMainForm> form;

private:
  std::string LogFile(const char* prefix) const {
    return Cp932ToUtf8(ReadFile(home.Path() + "/logs/" + prefix + "." +
                                FormatDateTime("yyyymmdd", Now()) + ".log"));
  }
};

// A call-group event as a session would raise it.
inline IKT5GroupEventArgs GroupEvent(uint8_t kind, int32_t group, const std::string& number = "",
                                     int ringSeconds = 0, int talkSeconds = 0) {
  auto ev = std::make_shared<TKT5GroupEventArgs>();
  ev->PacketKind = kind;
  ev->GroupNo = group;
  ev->PhoneNumber = number;
  ev->NumberReceived = !number.empty();
  ev->RingSeconds = ringSeconds;
  ev->TalkSeconds = talkSeconds;
  return ev;
}
