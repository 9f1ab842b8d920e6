#include "E2eHarness.h"
#include "base/Clock.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QObject>
#include <QStringList>
#include <QVariantMap>
#include <sys/stat.h>

// The desktop's notification service as far as the program uses it: it
// keeps every notification it is sent.
class TNotificationStandIn : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
  struct TNotification {
    QString AppName;
    uint ReplacesId;
    QString Summary;
    QString Body;
    QVariantMap Hints;
    int Timeout;
  };
  std::vector<TNotification> Received;
  std::vector<uint> Closed;

public slots:
  uint Notify(const QString& appName, uint replacesId, const QString& /*icon*/,
              const QString& summary, const QString& body, const QStringList& /*actions*/,
              const QVariantMap& hints, int timeout) {
    Received.push_back({appName, replacesId, summary, body, hints, timeout});
    return static_cast<uint>(Received.size());
  }
  void CloseNotification(uint id) { Closed.push_back(id); }
};

// A private session bus of the test, with the stand-in on it; the real
// teloria2 runs offscreen, where there is no tray.
class CommandVerbsTest : public E2eTest {
protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "e2e_CommandVerbsTest";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr)
      new QCoreApplication(argc, argv);
  }

  void SetUp() override {
    E2eTest::SetUp();
    const std::string address = "unix:path=" + home.Path() + "/bus";
    bus = std::make_unique<TProgramProcess>(
        "/usr/bin/dbus-daemon",
        std::vector<std::string>{"--session", "--nofork", "--address=" + address},
        std::vector<std::string>{}, home.Path() + "/bus.txt");
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(home.Path() + "/bus"); }));
    QDBusConnection connection =
        QDBusConnection::connectToBus(QString::fromStdString(address), kConnection);
    ASSERT_TRUE(connection.isConnected());
    ASSERT_TRUE(connection.registerObject("/org/freedesktop/Notifications", &service,
                                          QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(connection.registerService("org.freedesktop.Notifications"));
    extraEnv = {"DBUS_SESSION_BUS_ADDRESS=" + address};
    WriteIni("MirelKT5Port=TEST");
  }
  void TearDown() override {
    QDBusConnection::disconnectFromBus(kConnection);
    bus.reset(); // SIGTERM
  }

  // Waits for the n-th notification, serving the bus meanwhile.
  bool Notified(size_t count) {
    return WaitFor([&] {
      QCoreApplication::processEvents();
      return service.Received.size() >= count;
    });
  }

  // teloria2 with a verb; its exit code, its output in `output`.
  int Verb(const std::vector<std::string>& args, std::string* output = nullptr) {
    std::filesystem::remove(home.Path() + "/verb.txt");
    const int code = StartProgram(args, "verb.txt")->WaitExit(30000);
    if (output != nullptr)
      *output = ReadFile(home.Path() + "/verb.txt");
    return code;
  }

  bool SimulatorReady() {
    return WaitFor([&] { return Tool("teloria2-number-sim", {"query"}) == "100"; });
  }

  static constexpr const char* kConnection = "teloria2-test-bus";
  std::unique_ptr<TProgramProcess> bus;
  TNotificationStandIn service;
};

TEST_F(CommandVerbsTest, BalloonsBecomeNotificationsWithoutATray) {
  auto program = StartProgram();
  ASSERT_TRUE(Notified(1));
  const auto& started = service.Received[0];
  EXPECT_EQ(started.AppName, "Teloria II");
  EXPECT_EQ(started.Summary, "Teloria II を起動しました。");
  // Lines end with sentences only: the daemon wraps them. The windows go by
  // their own names.
  EXPECT_EQ(started.Body, "タスクトレイがないため、各画面はアプリケーションメニューの Teloria II "
                          "の項目（登録一覧、電話着信履歴、各種設定など）から開けます。\n"
                          "端末からは teloria2 -show settings などで開けます。");
  EXPECT_EQ(started.Timeout, 10000);
  EXPECT_EQ(started.Hints.value("desktop-entry").toString(), TELORIA_APP_ID);
  ASSERT_TRUE(SimulatorReady());
  EXPECT_EQ(StartProgram()->WaitExit(), 0);
  ASSERT_TRUE(Notified(2));
  EXPECT_EQ(service.Received[1].Summary, "Teloria II は既に起動しています。");
  EXPECT_EQ(service.Received[1].Body, service.Received[0].Body);
  EXPECT_EQ(service.Closed, std::vector<uint>{1}); // the balloon before goes first
  EXPECT_TRUE(
      LogHas("[info ] タスクトレイがないため、バルーンメッセージはデスクトップ通知で表示します。"));
  program->Terminate();
  EXPECT_EQ(program->WaitExit(), 0);
}

TEST_F(CommandVerbsTest, ShowOpensTheWindowAndExitClosesTheProgram) {
  // Nothing runs: the program starts and opens the window when it is ready.
  auto program = StartProgram({"-arun", "-show", "settings"});
  ASSERT_TRUE(LogHas("[info ] コマンドラインの指示で画面を開きました。[settings]"));
  ASSERT_TRUE(SimulatorReady());
  std::string output;
  EXPECT_EQ(Verb({"-show", "display"}, &output), 1);
  EXPECT_NE(output.find("表示する着信がありません。"), std::string::npos);
  EXPECT_EQ(Verb({"-show", "display", "-notify"}), 1); // a desktop action
  ASSERT_TRUE(Notified(1));
  EXPECT_EQ(service.Received[0].Summary, "Teloria II: 着信電話情報の表示");
  EXPECT_EQ(service.Received[0].Body, "表示する着信がありません。");
  EXPECT_EQ(Tool("teloria2-number-sim", {"call", "2", "900", "0312345678"}), "100");
  ASSERT_TRUE(CallsReach(1));
  for (const char* window : {"memory", "phonelist", "history", "new", "display", "about"}) {
    EXPECT_EQ(Verb({"-show", window}), 0) << window;
    EXPECT_TRUE(LogHas(std::string("コマンドラインの指示で画面を開きました。[") + window + "]"));
  }
  EXPECT_EQ(Verb({"-show", "phone"}, &output), 2);
  EXPECT_EQ(output.rfind("teloria2: 画面の名前 [phone] は使えません。\n使い方: teloria2", 0), 0u);
  EXPECT_EQ(service.Received.size(), 1u); // -arun; and nothing said "already running"
  EXPECT_EQ(Verb({"-exit"}), 0);
  EXPECT_EQ(program->WaitExit(), 0);
  EXPECT_TRUE(LogHas("[info ] コマンドラインの指示で終了します。"));
  // The list and display windows were open: they kept their places.
  const std::string states = ReadFile(home.Path() + "/teloria2.states.ini");
  for (const char* section :
       {"[MirelMemoryWnd]", "[PhoneListWnd]", "[IncomingListWnd]", "[NumberDisplayWnd]"})
    EXPECT_NE(states.find(section), std::string::npos) << section;
  EXPECT_EQ(Verb({"-exit"}), 0); // none runs: nothing to do
  EXPECT_EQ(Tool("teloria2-number-sim", {"query"}), "no-window");
  // The verbs logged one line each; the instance its banners.
  EXPECT_EQ(CountOf(MainLog(), "ログ開始"), 1u);
  EXPECT_EQ(CountOf(MainLog(), "ログ終了"), 1u);
}

TEST_F(CommandVerbsTest, FifosInPlaceOfTheProgramsFilesStallNothing) {
  const std::string today = FormatDateTime("yyyymmdd", Now());
  ASSERT_EQ(mkdir((home.Path() + "/logs").c_str(), 0700), 0);
  for (const std::string& file : std::vector<std::string>{
           "teloria2.ini", "teloria2.states.ini", "logs/ksocti." + today + ".log",
           "logs/scan." + today + ".log", "teloria2.db3.init", "ring.wav"}) {
    std::filesystem::remove(home.Path() + "/" + file);
    ASSERT_EQ(mkfifo((home.Path() + "/" + file).c_str(), 0600), 0) << file;
  }
  auto program = StartProgram({"-arun"});
  // The settings read as their defaults: device mode.
  ASSERT_TRUE(WaitFor([&] { return Tool("teloria2-number-sim", {"query"}) == "900"; }));
  EXPECT_EQ(Verb({"-show", "history"}), 0);
  EXPECT_EQ(Verb({"-exit"}), 0);
  EXPECT_EQ(program->WaitExit(), 0);
}

#include "CommandVerbsTest.moc"
