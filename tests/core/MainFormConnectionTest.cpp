#include "common2/MirelKT5Comm.h"
#include "fakes/AdapterSimProcess.h"
#include "fakes/ControllerHarness.h"

#include <condition_variable>
#include <mutex>

// The device session against the virtual adapter on a pseudo-terminal.
class MainFormConnectionTest : public QObject {
  Q_OBJECT
private slots:
  void init();
  void cleanup();
  void ConnectsToTheFoundPort();
  void FailedOpenRetriesLater();
  void SettingsChangedWhileConnected();
  void SettingsChangedWhileClosed();
  void ClockIsSetOnceInTheConfiguredMinute();
  void UnpluggedAdapterIsNoticedAndSearchedAgain();
  void FailingSessionHandlerIsLogged();
  void SettingsSavedDuringASearchLeaveNoSearchLoop();
  void StoredCallsAreCaughtUpSilentlyAtEachConnection();

private:
  // Opens the session on the virtual adapter as a finished search would.
  bool Connect() {
    h->form->CMPortSearchDone(device, device);
    return h->form->Comm().IsOpen();
  }
  // The next line the adapter prints that starts with `prefix`.
  std::string AdapterLine(const std::string& prefix, int timeoutMs = 3000) {
    while (true) {
      const std::string line = sim->NextLine(timeoutMs);
      if (line.rfind(prefix, 0) == 0 || line[0] == '<')
        return line;
    }
  }

  // Holds each automatic search before it lists the ports until the test
  // lets one through, so settings can be saved while a search runs.
  struct TListGate {
    std::mutex Mutex;
    std::condition_variable Changed;
    int Permits = 0;
    void Pass() {
      std::unique_lock lock(Mutex);
      Changed.wait(lock, [this] { return Permits > 0; });
      --Permits;
    }
    void Allow(int permits) {
      {
        std::lock_guard lock(Mutex);
        Permits += permits;
      }
      Changed.notify_all();
    }
  };

  std::unique_ptr<TControllerHarness> h;
  std::unique_ptr<TAdapterSimProcess> sim;
  std::string device;
  std::shared_ptr<TListGate> gate;
};

void MainFormConnectionTest::init() {
  sim = std::make_unique<TAdapterSimProcess>();
  const std::string ready = sim->NextLine();
  QVERIFY(ready.rfind("ready ", 0) == 0);
  device = ready.substr(6);
  h = std::make_unique<TControllerHarness>();
  h->CopyTemplate();
  // Debug mode: no search of its own runs while the test drives the session.
  AppSettings.MirelKT5Port = "debug";
  QVERIFY(h->Start({"teloria2", "-arun"}));
}

void MainFormConnectionTest::cleanup() {
  if (gate)
    gate->Allow(1000);
  h.reset();
  gate.reset();
  sim.reset();
}

void MainFormConnectionTest::ConnectsToTheFoundPort() {
  h->tray.SetImageIndex(1);
  QVERIFY(Connect());
  QCOMPARE(h->tray.ImageIndex(), 0);
  QCOMPARE(h->form->GetConnectedPort(), device);
  const std::string log = h->MainLog();
  QVERIFY(log.find("[info ] MirelUSB/RX2に接続します。Port=[" + device + "]") != std::string::npos);
  QVERIFY(log.find("[info ] MirelUSB/RX2に接続しました。Port=[" + device + "]") !=
          std::string::npos);
  QVERIFY(h->ScanLogText().find("MirelUSB/RX2に接続しました。Port=[" + device + "]") !=
          std::string::npos);
}

void MainFormConnectionTest::FailedOpenRetriesLater() {
  h->form->CMPortSearchDone(h->form->TargetPort(), "/dev/teloria2-no-such-port");
  QVERIFY(!h->form->Comm().IsOpen());
  QVERIFY(h->form->MirelCheckTimer().isActive());
  QVERIFY(
      h->MainLog().find("[error] MirelUSB/RX2に接続できません。Port=[/dev/teloria2-no-such-port]"
                        "\r\n[例外] ") != std::string::npos);
  QCOMPARE(h->form->GetConnectedPort(), std::string());
}

void MainFormConnectionTest::SettingsChangedWhileConnected() {
  QVERIFY(Connect());
  // Unchanged port: the connection stays.
  AppSettings.MirelKT5Port = device;
  h->form->CMSettingsChanged();
  QVERIFY(h->form->Comm().IsOpen());
  QVERIFY(!h->form->MirelCheckTimer().isActive());
  // Another port: closed, and that port is checked at once.
  AppSettings.MirelKT5Port = "/dev/teloria2-other";
  h->form->CMSettingsChanged();
  QVERIFY(!h->form->Comm().IsOpen());
  QCOMPARE(h->tray.ImageIndex(), 1);
  QCOMPARE(h->form->TargetPort(), std::string("/dev/teloria2-other"));
  QVERIFY(QTest::qWaitFor([&] {
    return h->ScanLogText().find(
               "スレッドで指定ポートチェックします。Port=[/dev/teloria2-other]") !=
           std::string::npos;
  }));
  QVERIFY(QTest::qWaitFor([&] { return !h->form->Scanner()->Busy(); }));
  TControllerHarness::Drain();
  // "test" while connected: into simulator mode.
  QVERIFY(Connect());
  AppSettings.MirelKT5Port = "test";
  h->form->CMSettingsChanged();
  QVERIFY(!h->form->Comm().IsOpen());
  QVERIFY(h->form->SimMode());
  QCOMPARE(h->tray.ImageIndex(), 0);
  QVERIFY(!h->form->MirelCheckTimer().isActive());
  QVERIFY(h->MainLog().find("[info ] 電話番号発信シミュレータモード開始") != std::string::npos);
}

void MainFormConnectionTest::SettingsChangedWhileClosed() {
  // Closed, another port, not simulating: the next search uses it by itself.
  AppSettings.MirelKT5Port = "/dev/ttyUSB7";
  h->form->CMSettingsChanged();
  QVERIFY(!h->form->SimMode());
  QVERIFY(!h->form->MirelCheckTimer().isActive());
  AppSettings.MirelKT5Port = "TEST";
  h->form->CMSettingsChanged();
  QVERIFY(h->form->SimMode());
  QCOMPARE(h->tray.ImageIndex(), 0);
  const std::string before = h->MainLog();
  h->form->CMSettingsChanged(); // already simulating: nothing
  QCOMPARE(h->MainLog(), before);
  AppSettings.MirelKT5Port = "";
  h->form->CMSettingsChanged();
  QVERIFY(!h->form->SimMode());
  QCOMPARE(h->tray.ImageIndex(), 1);
  QVERIFY(h->MainLog().find("[info ] 電話番号発信シミュレータモード終了") != std::string::npos);
  QVERIFY(QTest::qWaitFor([&] {
    return h->ScanLogText().find("接続ポート探索開始: TargetPort=[]") != std::string::npos;
  }));
  QVERIFY(QTest::qWaitFor([&] { return !h->form->Scanner()->Busy(); }));
}

void MainFormConnectionTest::ClockIsSetOnceInTheConfiguredMinute() {
  QVERIFY(Connect());
  AppSettings.SetAutoDateTime = true;
  AppSettings.ExecHour = "7";
  AppSettings.ExecMinute = "05";
  h->form->CheckResetMirelTimeTimerTimer();
  QCOMPARE(AdapterLine("recv"), std::string("recv C 202612080705"));
  AdvanceFixedNow(5 * OneSecond);
  h->form->CheckResetMirelTimeTimerTimer();
  AdvanceFixedNow(60 * OneSecond);
  h->form->CheckResetMirelTimeTimerTimer();
  // The next day, in the same minute, again.
  SetFixedNow(EncodeDateTime({2026, 12, 9, 7, 5, 1, 0}));
  h->form->CheckResetMirelTimeTimerTimer();
  QCOMPARE(AdapterLine("recv"), std::string("recv C 202612090705"));
  AppSettings.ExecMinute = "x";
  SetFixedNow(EncodeDateTime({2026, 12, 10, 7, 5, 1, 0}));
  h->form->CheckResetMirelTimeTimerTimer();
  QCOMPARE(h->form->LastClockSetAt(), EncodeDateTime({2026, 12, 9, 7, 5, 0, 0}));
}

void MainFormConnectionTest::UnpluggedAdapterIsNoticedAndSearchedAgain() {
  QVERIFY(Connect());
  QCOMPARE(sim->Ask("unplug"), std::string("ok unplug"));
  QVERIFY(QTest::qWaitFor(
      [&] {
        TControllerHarness::Drain();
        h->form->UsbDevCheckTimerTimer();
        return !h->form->Comm().IsOpen();
      },
      10000));
  QVERIFY(QTest::qWaitFor(
      [&] {
        const std::string log = h->MainLog();
        return log.find("Mirelに再接続します。Port=[debug]") != std::string::npos;
      },
      10000));
  const std::string log = h->MainLog();
  QVERIFY(log.find("COMデバイスエラー") != std::string::npos ||
          log.find("MirelKT5通信が強制終了されました。") != std::string::npos);
  QCOMPARE(h->tray.ImageIndex(), 1);
  QVERIFY(QTest::qWaitFor([&] { return !h->form->Scanner()->Busy(); }, 10000));
}

void MainFormConnectionTest::FailingSessionHandlerIsLogged() {
  QVERIFY(Connect());
  h->form->Comm().OnGroup = [](TMirelKT5CommBase&, const IKT5GroupEventArgs&) {
    throw Exception("group handler failed");
  };
  QCOMPARE(sim->Ask("ring"), std::string("ok ring"));
  QVERIFY(QTest::qWaitFor([&] {
    return h->MainLog().find("[error] MirelKT5通信のイベント処理でエラーが発生しました。"
                             "\r\n[原因] group handler failed") != std::string::npos;
  }));
}

void MainFormConnectionTest::SettingsSavedDuringASearchLeaveNoSearchLoop() {
  h.reset();
  h = std::make_unique<TControllerHarness>();
  h->CopyTemplate();
  gate = std::make_shared<TListGate>();
  h->portLister = [g = gate, port = device] {
    g->Pass();
    return std::vector<std::string>{port};
  };
  AppSettings.MirelKT5Port = "";
  QVERIFY(h->Start({"teloria2", "-arun"}));
  QVERIFY(h->form->Scanner()->Busy());
  // "TEST" and then "" again while the search runs: the new start is refused.
  AppSettings.MirelKT5Port = "TEST";
  h->form->CMSettingsChanged();
  AppSettings.MirelKT5Port = "";
  h->form->CMSettingsChanged();
  gate->Allow(1);
  QVERIFY(QTest::qWaitFor([&] { return h->form->Comm().IsOpen(); }));
  QVERIFY(!h->form->MirelCheckTimer().isActive());
  const auto searches = [&] { return CountOf(h->ScanLogText(), "接続ポート探索開始"); };
  const size_t connectedAfter = searches();
  h->form->MirelCheckTimerTimer();
  QCOMPARE(searches(), connectedAfter);
  QVERIFY(h->form->Comm().IsOpen());
  // A result for a port setting changed meanwhile is dropped and the new
  // setting searched instead.
  h->form->Reconnect();
  AppSettings.MirelKT5Port = "/dev/teloria2-none";
  h->form->CMSettingsChanged();
  gate->Allow(1);
  QVERIFY(QTest::qWaitFor([&] {
    return h->ScanLogText().find("接続ポート探索開始: TargetPort=[/dev/teloria2-none]") !=
           std::string::npos;
  }));
  QVERIFY(!h->form->Comm().IsOpen());
  QVERIFY(QTest::qWaitFor([&] { return !h->form->Scanner()->Busy(); }));
}

QTEST_GUILESS_MAIN(MainFormConnectionTest)
#include "MainFormConnectionTest.moc"

// The adapter's memory read after the session opens: its calls recorded
// without a popup, one balloon; connecting again adds nothing.
void MainFormConnectionTest::StoredCallsAreCaughtUpSilentlyAtEachConnection() {
  AppSettings.MemoryCatchUp = true;
  // 8 December 2026 (the fixed clock's day) is a Tuesday.
  QVERIFY(sim->Ask("memory 1 120820700 0312340001 120820702 OF").rfind("ok ", 0) == 0);
  QVERIFY(sim->Ask("memory 3 120820650 P 120820651 UR").rfind("ok ", 0) == 0);
  QVERIFY(Connect());
  QTRY_COMPARE_WITH_TIMEOUT(h->tray.Balloons.size(), size_t{1}, 10000);
  QCOMPARE(h->tray.Balloons[0].Title, std::string("Teloria II"));
  QCOMPARE(h->tray.Balloons[0].Text,
           std::string("本体メモリから 2 件の着信を履歴に追加しました。"));
  const auto calls = CtiDb->GetIncomingList(10);
  QCOMPARE(calls->Count(), 2);
  QCOMPARE((*calls)[0].GetValue("incoming_date"), std::string("2026/12/08 07:00:00.000"));
  QCOMPARE((*calls)[0].GetValue("connected"), std::string("1"));
  QCOMPARE((*calls)[0].GetValue("offhook_seconds"), std::string("120"));
  QCOMPARE((*calls)[0].GetValue("state"), std::string("2"));
  QCOMPARE((*calls)[1].GetValue("phone_number"), std::string("P"));
  QCOMPARE((*calls)[1].GetValue("connected"), std::string("0"));
  QCOMPARE(h->windows.Count("ShowIncomingNotice"), 0);
  QCOMPARE(h->windows.Count("IncomingListReload"), 1);
  QCOMPARE(h->windows.Count("PhoneListRowSaved"), 1); // the withheld call has no entry
  const auto entry = CtiDb->FindPhoneNumber("0312340001");
  QVERIFY(entry);
  QCOMPARE(entry->GetValue("last_incoming_date"), std::string("2026/12/08 07:00:00.000"));

  h->form->Comm().Close(false);
  QVERIFY(Connect());
  QTRY_VERIFY_WITH_TIMEOUT(CountOf(h->MainLog(), "本体メモリの着信を確認しました。") == 2, 10000);
  QCOMPARE(CtiDb->GetIncomingList(10)->Count(), 2);
  QCOMPARE(h->tray.Balloons.size(), size_t{1});
}
