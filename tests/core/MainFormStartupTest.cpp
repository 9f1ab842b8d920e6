#include "common2/GroupEventRecord.h"
#include "common2/ReceivePacketRecord.h"
#include "core/CommandLine.h"
#include "core/LastIncomingInfo.h"
#include "core/Messages.h"
#include "core/NumberSimReceiver.h"
#include "core/StartupGate.h"
#include "fakes/ControllerHarness.h"
#include "platform/SharedMemory.h"
#include "platform/SingleInstance.h"
#include "platform/WindowMessages.h"
#include "settings/SharedValue.h"
#include "support/BadDatabases.h"

#include <cerrno>
#include <fcntl.h>
#include <future>
#include <unistd.h>

class MainFormStartupTest : public QObject {
  Q_OBJECT
  // A second start, on a thread of its own while this one serves the
  // running instance's endpoint, ends as already running.
  static bool SecondStartEnds() {
    auto second = std::async(std::launch::async, [] { return TakeSingleInstance() == nullptr; });
    return QTest::qWaitFor(
               [&] {
                 return second.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
               },
               10000) &&
           second.get();
  }
private slots:
  void DeviceModeStartsTheSearchAndShowsTheBalloon();
  void ModesFollowThePortSettingInAnyCase_data();
  void ModesFollowThePortSettingInAnyCase();
  void ArunInAnyCaseSuppressesTheBalloon();
  void FailedBalloonReRegistersTheIcon();
  void MissingTemplateIsFatal();
  void UnusableDatabaseIsFatalAndUntouched_data();
  void UnusableDatabaseIsFatalAndUntouched();
  void HistoryIsTrimmedAtStart();
  void SecondInstanceMakesTheRunningOneShowItsBalloon();
  void RemovedRuntimeFolderIsMadeAgainAndKeepsASecondStartOut();
  void CommandLineVerbsOpenTheirWindowOnceReady();
  void SecondStartWithAVerbHandsItToTheRunningInstance();
  void PortsNotPermittedAreLoggedOnceAndToldInOneBalloon();
  void ShutdownRequestClosesTheRunningInstance();
  void ShutdownRequestWithoutInstanceDoesNothing();
  void RuntimeFolderOpenToOthersIsRefusedAndLogged();
  void SimulatorQueryAnswersBySteps();
  void SimulatorBlocksOfAnotherUserOrOfTheWrongSizeAreRefused();
  void DestructionUnpublishesTheHandle();
};

void MainFormStartupTest::DeviceModeStartsTheSearchAndShowsTheBalloon() {
  TControllerHarness h;
  h.CopyTemplate();
  QVERIFY(h.Start());
  QVERIFY(std::filesystem::exists(h.home.Path() + "/teloria2.db3"));
  QCOMPARE(h.tray.ImageIndex(), 1);
  QVERIFY(h.tray.Visible());
  QVERIFY(!h.form->SimMode());
  QCOMPARE(h.tray.Balloons.size(), size_t(1));
  QCOMPARE(h.tray.Balloons[0].Title, std::string("Teloria II を起動しました。"));
  QCOMPARE(h.tray.Balloons[0].Text,
           std::string("\r\n  このアイコンをクリックするとメニューが出ます。  \r\n"));
  QVERIFY(h.form->BalloonHelpHideTimer().isActive());
  QVERIFY(QTest::qWaitFor([&] {
    return h.ScanLogText().find("接続ポート探索終了: TargetPort=[], FoundPort=[]") !=
           std::string::npos;
  }));
  const std::string log = h.MainLog();
  QVERIFY(log.find("[info ] データベースファイルを作成しました。") != std::string::npos);
  QVERIFY(log.find("[info ] DB Version: ") != std::string::npos);
  QVERIFY(log.find("DB Version: 不明") == std::string::npos);
  const std::string scan = h.ScanLogText();
  QVERIFY(scan.find("接続ポート探索開始: TargetPort=[]") != std::string::npos);
  QVERIFY(scan.find("スレッドで接続ポート自動探索します。") != std::string::npos);
  // Nothing answered: the search is tried again later.
  QVERIFY(QTest::qWaitFor([&] { return h.form->MirelCheckTimer().isActive(); }));
}

void MainFormStartupTest::ModesFollowThePortSettingInAnyCase_data() {
  QTest::addColumn<QString>("port");
  QTest::addColumn<bool>("simMode");
  QTest::addColumn<bool>("debugMode");
  QTest::addColumn<QString>("line");
  QTest::newRow("debug") << "debug" << false << true << "デバッグモード開始";
  QTest::newRow("Debug") << "Debug" << false << true << "デバッグモード開始";
  QTest::newRow("TEST") << "TEST" << true << false << "電話番号発信シミュレータモード開始";
  QTest::newRow("test") << "test" << true << false << "電話番号発信シミュレータモード開始";
}

void MainFormStartupTest::ModesFollowThePortSettingInAnyCase() {
  QFETCH(QString, port);
  QFETCH(bool, simMode);
  QFETCH(bool, debugMode);
  QFETCH(QString, line);
  TControllerHarness h;
  h.CopyTemplate();
  AppSettings.MirelKT5Port = port.toStdString();
  QVERIFY(h.Start());
  QCOMPARE(h.form->SimMode(), simMode);
  QCOMPARE(h.form->DebugCheckTimer().isActive(), debugMode);
  QVERIFY(!h.form->MirelCheckTimer().isActive());
  QCOMPARE(h.tray.ImageIndex(), 0);
  QVERIFY(h.MainLog().find("[info ] " + line.toStdString()) != std::string::npos);
  QVERIFY(h.ScanLogText().find("接続ポート探索開始") == std::string::npos);
}

void MainFormStartupTest::ArunInAnyCaseSuppressesTheBalloon() {
  TControllerHarness h;
  h.CopyTemplate();
  AppSettings.MirelKT5Port = "TEST";
  QVERIFY(h.Start({"teloria2", "-x", "-ARUN"}));
  QVERIFY(h.tray.Balloons.empty());
  QVERIFY(!h.form->BalloonHelpHideTimer().isActive());
}

void MainFormStartupTest::FailedBalloonReRegistersTheIcon() {
  TControllerHarness h;
  h.CopyTemplate();
  AppSettings.MirelKT5Port = "TEST";
  h.tray.FailBalloons = true;
  QVERIFY(h.Start({"teloria2", "-autorun"}));
  QVERIFY(h.tray.Visible());
  QCOMPARE(h.tray.VisibilityChanges, 3); // shown, then hidden and shown again
  QVERIFY(h.form->BalloonHelpHideTimer().isActive());
  QVERIFY(h.MainLog().find("[warng] バルーンメッセージ\r\n[原因] no notification area") !=
          std::string::npos);
}

void MainFormStartupTest::MissingTemplateIsFatal() {
  TControllerHarness h;
  h.instance = std::make_unique<TSingleInstance>();
  QVERIFY(h.Start());
  QCOMPARE(h.quits, 1);
  QVERIFY(h.goneAtFatalError);
  QVERIFY(h.form->StartupFailed());
  QCOMPARE(h.fatalErrors,
           std::vector<std::string>{
               "データベースファイルを作成できませんでした。\r\nシステム起動に失敗しました。"});
  QVERIFY(!h.form->Ready());
  QVERIFY(h.MainLog().find("[fatal] データベースファイルを作成できません。") != std::string::npos);
}

void MainFormStartupTest::UnusableDatabaseIsFatalAndUntouched_data() {
  QTest::addColumn<QString>("kind");
  QTest::addColumn<QString>("reason");
  QTest::newRow("folder") << "folder"
                          << "通常のファイルではありません。";
  QTest::newRow("fifo") << "fifo"
                        << "通常のファイルではありません。";
  QTest::newRow("text") << "text"
                        << "SQLiteのデータベースファイルではありません。";
  QTest::newRow("empty") << "empty"
                         << "ファイルが空です。";
  QTest::newRow("foreign") << "foreign"
                           << "テーブル version_info がありません。";
  QTest::newRow("column") << "column"
                          << "テーブル phone_numbers に列 memo3 がありません。";
  QTest::newRow("damaged") << "damaged"
                           << "データベースファイルが壊れています。(*** in database main *** "
                              "Page 7: btreeInitPage() returns error code 11)"
                              "\r\n読める内容を次のコマンドで取り出し、teloria2.db3 と置き換えて"
                              "ください(手順は README の Troubleshooting にあります)。\r\n"
                              "sqlite3 teloria2.db3 \".recover\" | sqlite3 recovered.db3";
}

void MainFormStartupTest::UnusableDatabaseIsFatalAndUntouched() {
  QFETCH(QString, kind);
  QFETCH(QString, reason);
  TControllerHarness h;
  h.CopyTemplate();
  const std::string file = h.home.Path() + "/teloria2.db3";
  MakeBadDatabase(kind.toStdString(), file, h.home.Path() + "/teloria2.db3.init");
  const std::string before = DatabaseSnapshot(file);
  QVERIFY(h.Start());
  QCOMPARE(h.quits, 1);
  QVERIFY(!h.form->Ready());
  QCOMPARE(h.fatalErrors,
           std::vector<std::string>{"データベースファイルを開けませんでした。\r\n" + file + "\r\n" +
                                    reason.toStdString() + "\r\nシステム起動に失敗しました。"});
  QVERIFY(h.MainLog().find("[fatal] データベースファイルを開けません。File=[" + file +
                           "]\r\n[原因] " + reason.toStdString()) != std::string::npos);
  QCOMPARE(DatabaseSnapshot(file), before);
}

void MainFormStartupTest::HistoryIsTrimmedAtStart() {
  TControllerHarness h;
  h.CopyTemplate();
  QVERIFY(CreateDatabaseFromTemplate());
  CreateCtiDb();
  for (int i = 0; i < 5; ++i)
    CtiDb->AddIncoming("03" + std::to_string(i),
                       "2026/12/0" + std::to_string(i + 1) + " 10:00:00.000");
  CtiDb.reset();
  AppSettings.IncomingLimit = 3;
  AppSettings.MirelKT5Port = "TEST";
  QVERIFY(h.Start());
  const auto rows = CtiDb->GetIncomingList(10);
  QCOMPARE(rows->Count(), 3);
  QCOMPARE(rows->Items(2).GetValue("phone_number"), std::string("032"));
}

void MainFormStartupTest::SecondInstanceMakesTheRunningOneShowItsBalloon() {
  TControllerHarness h;
  h.CopyTemplate();
  AppSettings.MirelKT5Port = "TEST";
  TSingleInstance first;
  QVERIFY(first.Held());
  QVERIFY(h.Start({"teloria2", "-arun"}));
  QVERIFY(SecondStartEnds());
  QCOMPARE(h.tray.Balloons.size(), size_t(1));
  QCOMPARE(h.tray.Balloons[0].Title, std::string("Teloria II は既に起動しています。"));
  QVERIFY(h.form->BalloonHelpHideTimer().isActive());
  QVERIFY(h.MainLog().find("[info ] 二重起動のため終了します。") != std::string::npos);
}

// As some session cleaners do: the folder goes under the running program.
void MainFormStartupTest::RemovedRuntimeFolderIsMadeAgainAndKeepsASecondStartOut() {
  TControllerHarness h;
  h.CopyTemplate();
  AppSettings.MirelKT5Port = "TEST";
  h.instance = std::make_unique<TSingleInstance>();
  QVERIFY(h.Start({"teloria2", "-arun"}));
  const std::string folder = h.home.Path() + "/run/teloria2";
  std::filesystem::remove_all(folder);
  // Meanwhile a second start ends at once: the data folder is taken.
  QVERIFY(TakeSingleInstance() == nullptr);
  QVERIFY(QTest::qWaitFor(
      [&] { return ReadSharedValue("TELORIA2_CLIENT_WINDOW_MMF") == h.form->Handle(); }, 10000));
  for (const char* name : {"___KsoCtiClient___.lock", TNumberSimReceiver::GroupBlockName,
                           TNumberSimReceiver::MemoryBlockName})
    QVERIFY2(std::filesystem::exists(folder + "/" + name), name);
  QVERIFY(!TSingleInstance().Held());
  // Reached again through its endpoint.
  QVERIFY(SecondStartEnds());
  QCOMPARE(h.tray.Balloons.size(), size_t(1));
  QCOMPARE(h.tray.Balloons[0].Title, std::string("Teloria II は既に起動しています。"));
  const std::string remade =
      "[warng] 実行時フォルダ [" + folder + "] のファイルが失われていたため、作り直しました。";
  QCOMPARE(CountOf(h.MainLog(), remade), size_t(1));
}

void MainFormStartupTest::CommandLineVerbsOpenTheirWindowOnceReady() {
  TControllerHarness h;
  h.CopyTemplate();
  AppSettings.MirelKT5Port = "TEST";
  // Started by "-show": the window opens after the start-up sequence.
  QVERIFY(h.Start({"teloria2", "-arun", "-show", "settings"}));
  h.Drain();
  QCOMPARE(h.windows.Names(), std::vector<std::string>{"ShowSettings"});
  const std::pair<TProgramWindow, const char*> windows[] = {
      {TProgramWindow::MirelMemory, "ShowDeviceMemory"},
      {TProgramWindow::PhoneList, "ShowPhoneList"},
      {TProgramWindow::IncomingHistory, "ShowIncomingList"},
      {TProgramWindow::NewEntry, "OpenNumberEdit"},
      {TProgramWindow::Settings, "ShowSettings"},
      {TProgramWindow::About, "ShowAbout"},
  };
  for (const auto& [window, operation] : windows) {
    h.windows.Calls.clear();
    QCOMPARE(h.form->CMShowWindow(static_cast<uint32_t>(window)), uint32_t(CommandResultDone));
    QCOMPARE(h.windows.Names(), std::vector<std::string>{operation});
  }
  QCOMPARE(h.form->CMShowWindow(99), uint32_t(CommandResultNotDone));
  const auto display = static_cast<uint32_t>(TProgramWindow::NumberDisplay);
  QCOMPARE(h.form->CMShowWindow(display), uint32_t(CommandResultNoCall));
  // The newest call, with its entry; the entry's last call is this one.
  TTableRow entry;
  entry.SetValue("phone_number", "0612345678");
  entry.SetValue("owner_name", "山田商店");
  entry.SetValue("last_incoming_date", "2026/12/08 07:00:00.000");
  CtiDb->InsertPhoneNumber(entry);
  CtiDb->AddIncoming("P", "2026/12/08 06:00:00.000");
  CtiDb->AddIncoming("0612345678", "2026/12/08 07:00:00.000");
  QCOMPARE(h.form->CMShowWindow(display), uint32_t(CommandResultDone));
  const TTableRow& shown = h.windows.Last("ShowNumberDisplay")->Row;
  QCOMPARE(shown.GetValue("phone_number"), std::string("0612345678"));
  QCOMPARE(shown.GetValue("owner_name"), std::string("山田商店"));
  QCOMPARE(shown.GetValue("_IncomingDate"), std::string("2026/12/08 07:00:00.000"));
  QCOMPARE(shown.GetValue("_IsValidNumber"), std::string("1"));
  QCOMPARE(shown.GetValue("last_incoming_date"), std::string());
  QVERIFY(h.MainLog().find("[info ] コマンドラインの指示で画面を開きました。[display]") !=
          std::string::npos);
  // A start-up that has not finished.
  h.form.reset();
  h.Create();
  QCOMPARE(h.form->CMShowWindow(static_cast<uint32_t>(TProgramWindow::About)),
           uint32_t(CommandResultNotDone));
  QCOMPARE(h.form->CMExitProgram(), uint32_t(CommandResultDone));
  QCOMPARE(h.quits, 1);
}

void MainFormStartupTest::SecondStartWithAVerbHandsItToTheRunningInstance() {
  TControllerHarness h;
  h.CopyTemplate();
  AppSettings.MirelKT5Port = "TEST";
  auto lock = std::make_unique<TSingleInstance>();
  QVERIFY(lock->Held());
  QVERIFY(h.Start({"teloria2", "-arun"}));
  const auto second = [](TCommandLine command) {
    return std::async(std::launch::async, [command] {
      int exitCode = -1;
      const bool none = TakeSingleInstance(command, &exitCode) == nullptr;
      return none ? exitCode : -2;
    });
  };
  const auto ready = [](std::future<int>& f) {
    return f.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
  };
  auto show = second(ParseCommandLine({"teloria2", "-show", "history"}));
  QVERIFY(QTest::qWaitFor([&] { return ready(show); }, 10000));
  QCOMPARE(show.get(), 0);
  QCOMPARE(h.windows.Names(), std::vector<std::string>{"ShowIncomingList"});
  QVERIFY(h.tray.Balloons.empty());
  auto exit = second(ParseCommandLine({"teloria2", "-exit"}));
  QVERIFY(QTest::qWaitFor([&] { return h.quits == 1; }, 10000));
  h.form.reset(); // the program ends, and with it its lock
  lock.reset();
  QVERIFY(QTest::qWaitFor([&] { return ready(exit); }, 10000));
  QCOMPARE(exit.get(), 0);
  const std::string log = h.MainLog();
  QVERIFY(log.find("[info ] 起動中のタスクに画面を開くよう指示します。[history]") !=
          std::string::npos);
  QVERIFY(log.find("[info ] コマンドラインの指示で終了します。") != std::string::npos);
  QVERIFY(log.find("二重起動のため終了します。") == std::string::npos);
  // "-exit" with nothing running closes nothing and starts nothing.
  int exitCode = -1;
  QVERIFY(TakeSingleInstance(ParseCommandLine({"teloria2", "-exit"}), &exitCode) == nullptr);
  QCOMPARE(exitCode, 0);
}

void MainFormStartupTest::PortsNotPermittedAreLoggedOnceAndToldInOneBalloon() {
  TControllerHarness h;
  h.CopyTemplate();
  h.scannerPorts = {"/dev/ttyUSB-denied0", "/dev/ttyACM-denied1"};
  h.deviceFactory = [](const std::string&, int& error) -> TSerialDevicePtr {
    error = EACCES;
    return nullptr;
  };
  const auto searchesDone = [&](size_t count) {
    return QTest::qWaitFor([&] {
      const std::string scan = h.ScanLogText();
      size_t n = 0;
      for (size_t at = scan.find("接続ポート探索終了"); at != std::string::npos;
           at = scan.find("接続ポート探索終了", at + 1))
        ++n;
      return n >= count && !h.form->Scanner()->Busy();
    });
  };
  QVERIFY(h.Start({"teloria2", "-arun"}));
  QVERIFY(searchesDone(1));
  h.form->MirelCheckTimerTimer(); // searched again: nothing new to tell
  QVERIFY(searchesDone(2));
  AppSettings.MirelKT5Port = "/dev/teloria2-denied2"; // the one configured port
  h.form->MirelCheckTimerTimer();
  QVERIFY(searchesDone(3));
  h.Drain();
  const std::string log = h.MainLog();
  for (const char* port : {"ttyUSB-denied0", "ttyACM-denied1", "teloria2-denied2"}) {
    const std::string line =
        std::string("[warng] ポート [/dev/") + port + "] を開く権限がありません。\r\n";
    const size_t at = log.find(line);
    QVERIFY2(at != std::string::npos, port);
    QVERIFY2(log.find(line, at + 1) == std::string::npos, port);
  }
  QCOMPARE(h.tray.Balloons.size(), size_t(1));
  QCOMPARE(h.tray.Balloons[0].Title, std::string("Teloria II: ポートを開けません"));
  QCOMPARE(h.tray.Balloons[0].Icon, TBalloonIcon::Warning);
  QCOMPARE(h.tray.Balloons[0].Text,
           std::string("\r\n  /dev/ttyUSB-denied0 を開く権限がありません。"
                       "\r\n  デバイスのアクセス権を確認してください。  \r\n"));
  QVERIFY(h.form->MirelCheckTimer().isActive()); // the search goes on
}

void MainFormStartupTest::ShutdownRequestClosesTheRunningInstance() {
  TControllerHarness h;
  h.CopyTemplate();
  AppSettings.MirelKT5Port = "TEST";
  auto lock = std::make_unique<TSingleInstance>();
  QVERIFY(lock->Held());
  QVERIFY(h.Start());
  auto request = std::async(std::launch::async, [] { RequestShutdownOfRunningInstance(); });
  QVERIFY(QTest::qWaitFor([&] { return h.quits == 1; }, 10000));
  h.form.reset(); // the program ends: its endpoint goes away, then its lock
  lock.reset();
  QVERIFY(QTest::qWaitFor(
      [&] { return request.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
      10000));
  QVERIFY(h.MainLog().find("[info ] 起動中のタスクを終了させます。") != std::string::npos);
}

void MainFormStartupTest::ShutdownRequestWithoutInstanceDoesNothing() {
  TControllerHarness h;
  RequestShutdownOfRunningInstance();
  // Nor when a crashed instance left its handle behind.
  const int stale =
      PublishSharedValue(static_cast<uint32_t>(getpid()), "TELORIA2_CLIENT_WINDOW_MMF");
  RequestShutdownOfRunningInstance();
  CloseSharedValue(stale);
  QVERIFY(h.MainLog().empty());
}

void MainFormStartupTest::RuntimeFolderOpenToOthersIsRefusedAndLogged() {
  TControllerHarness h;
  const std::string usual = h.home.Path() + "/run/teloria2";
  std::filesystem::create_directory(usual);
  std::filesystem::permissions(usual, std::filesystem::perms::all);
  const auto instance = TakeSingleInstance();
  QVERIFY(instance != nullptr);
  QVERIFY(std::filesystem::exists(h.home.Path() + "/runtime/___KsoCtiClient___.lock"));
  QVERIFY(h.MainLog().find("[warng] 実行時フォルダ [" + usual +
                           "] は所有者またはアクセス権が正しくないため使用しません。代わりに [" +
                           h.home.Path() + "/runtime] を使用します。") != std::string::npos);
}

void MainFormStartupTest::SimulatorQueryAnswersBySteps() {
  TControllerHarness h;
  h.CopyTemplate();
  AppSettings.MirelKT5Port = "TEST";
  TMainFormDeps deps;
  deps.Windows = &h.windows;
  deps.Tray = &h.tray;
  deps.Sound = std::make_unique<TFakeSound>(&h.sounds);
  deps.Quit = [] {};
  h.form = std::make_unique<TMainForm>(std::move(deps));
  QCOMPARE(h.form->CMSimQuery(), uint32_t(901));
  QVERIFY(QTest::qWaitFor([&] { return h.form->Ready(); }));
  const uint32_t handle = ReadSharedValue("TELORIA2_CLIENT_WINDOW_MMF");
  QCOMPARE(handle, h.form->Handle());
  auto ask = [handle](uint32_t message) {
    return std::async(std::launch::async, [handle, message] {
      uint32_t result = 0;
      return SendMessageTimeout(handle, message, 0, 0, 5000, result) ? result : 0u;
    });
  };
  auto query = ask(CMSimQuery);
  QVERIFY(QTest::qWaitFor(
      [&] { return query.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
  QCOMPARE(query.get(), uint32_t(100));
  AppSettings.MirelKT5Port = "COM9";
  h.form->CMSettingsChanged();
  auto query2 = ask(CMSimQuery);
  auto call = std::async(std::launch::async, [&] {
    query2.wait();
    uint32_t result = 0;
    return SendMessageTimeout(handle, CMSimCall, 0, 0, 5000, result) ? result : 0u;
  });
  QVERIFY(QTest::qWaitFor(
      [&] { return call.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
  QCOMPARE(query2.get(), uint32_t(900));
  QCOMPARE(call.get(), uint32_t(900));
  QVERIFY(h.MainLog().find("[debug] 擬似発信データを無視しました。") != std::string::npos);
}

void MainFormStartupTest::SimulatorBlocksOfAnotherUserOrOfTheWrongSizeAreRefused() {
  TControllerHarness h;
  h.CopyTemplate();
  AppSettings.MirelKT5Port = "TEST";
  const std::string memoryBlock = TSharedMemory::PathOf(TNumberSimReceiver::MemoryBlockName);
  const bool root = geteuid() == 0;
  if (root) { // another user made the memory block first
    const int fd = open(memoryBlock.c_str(), O_RDWR | O_CREAT, 0666);
    QVERIFY(fd >= 0);
    QVERIFY(ftruncate(fd, TReceivePacketRecord::Size) == 0 && fchown(fd, 65534, 65534) == 0);
    close(fd);
  }
  QVERIFY(h.Start());
  if (root) {
    QVERIFY(h.MainLog().find("[error] 共有メモリを使用できません。[TELORIA2_NUMBER_SIM_MREAM_MMF] "
                             "ファイル作成できません。2(Error=1)") != std::string::npos);
    unlink(memoryBlock.c_str());
  }
  // The simulator cuts the group block short or grows it: the call is refused.
  const int group = open(TSharedMemory::PathOf(TNumberSimReceiver::GroupBlockName).c_str(), O_RDWR);
  QVERIFY(group >= 0);
  for (const off_t size : {0, 50, 200}) {
    QVERIFY(ftruncate(group, size) == 0);
    QCOMPARE(h.form->CMSimCall(), uint32_t(SimResultReadFailed));
  }
  QVERIFY(h.MainLog().find("[error] 擬似発信データを取得できません。[詳細] "
                           "格納データ取得に失敗しました。(Error=22)") != std::string::npos);
  QVERIFY(ftruncate(group, TGroupEventRecord::Size) == 0);
  QCOMPARE(h.form->CMSimCall(), uint32_t(SimResultOk));
  close(group);
}

void MainFormStartupTest::DestructionUnpublishesTheHandle() {
  TControllerHarness h;
  h.CopyTemplate();
  AppSettings.MirelKT5Port = "TEST";
  QVERIFY(h.Start());
  QVERIFY(ReadSharedValue("TELORIA2_CLIENT_WINDOW_MMF") != 0);
  h.form.reset();
  QCOMPARE(ReadSharedValue("TELORIA2_CLIENT_WINDOW_MMF"), uint32_t(0));
  QVERIFY(AppClosing);
}

QTEST_GUILESS_MAIN(MainFormStartupTest)
#include "MainFormStartupTest.moc"
