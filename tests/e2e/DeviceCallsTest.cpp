#include "E2eHarness.h"

// Calls from the virtual adapter, recorded by the real program.
class DeviceCallsTest : public E2eTest {
protected:
  void SetUp() override {
    E2eTest::SetUp();
    StartAdapter();
    WriteIni("MirelKT5Port=" + home.Path() + "/adapter");
    program = StartProgram({"-arun"});
    ASSERT_TRUE(LogHas("MirelUSB/RX2に接続しました。Port=[" + home.Path() + "/adapter]"));
  }
  void TearDown() override {
    program->Terminate();
    EXPECT_EQ(program->WaitExit(), 0);
    EXPECT_NE(MainLog().find("************ ログ終了:"), std::string::npos);
  }
  void Play(const std::vector<std::string>& commands) {
    for (const std::string& c : commands)
      ASSERT_TRUE(adapter->Run(c)) << c;
  }

  std::unique_ptr<TProgramProcess> program;
};

TEST_F(DeviceCallsTest, AnsweredCallIsRecordedWithItsSeconds) {
  Play({"ring", "number 0312345678", "sleep 1100", "offhook", "sleep 1100", "onhook"});
  ASSERT_TRUE(WaitFor([&] {
    const auto rows = Query("SELECT state FROM incoming_numbers");
    return rows.size() == 1 && rows[0] == "2";
  }));
  const auto call = Query("SELECT phone_number, connected, offhook_seconds >= 1, "
                          "onhook_seconds >= 1 FROM incoming_numbers");
  EXPECT_EQ(call, std::vector<std::string>{"0312345678|1|1|1"});
  // A new number is registered with the call's date.
  EXPECT_EQ(Query("SELECT p.created_date = i.incoming_date, p.last_incoming_date = i.incoming_date "
                  "FROM phone_numbers p JOIN incoming_numbers i USING (phone_number)"),
            std::vector<std::string>{"1|1"});
}

TEST_F(DeviceCallsTest, CallDuringALongLockIsWrittenCompleteAfterIt) {
  // Another program holds the database's write lock for about ten seconds.
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open((home.Path() + "/teloria2.db3").c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  Play({"ring", "number 0312345678", "sleep 1100", "offhook", "sleep 1100", "onhook"});
  ASSERT_TRUE(adapter->Run("sleep 7800", 15000));
  EXPECT_TRUE(LogHas("書き込みを保留します。[着信の終話状態]"));
  EXPECT_TRUE(Query("SELECT 1 FROM incoming_numbers").empty());
  ASSERT_EQ(sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(other);
  ASSERT_TRUE(WaitFor([&] {
    return Query("SELECT state FROM incoming_numbers") == std::vector<std::string>{"2"};
  }));
  EXPECT_EQ(Query("SELECT phone_number, connected, offhook_seconds >= 1, onhook_seconds >= 1 "
                  "FROM incoming_numbers"),
            std::vector<std::string>{"0312345678|1|1|1"});
  EXPECT_EQ(Query("SELECT p.last_incoming_date = i.incoming_date "
                  "FROM phone_numbers p JOIN incoming_numbers i USING (phone_number)"),
            std::vector<std::string>{"1"});
  EXPECT_TRUE(LogHas("[info ] 保留していた書き込みをすべて行いました。"));
}

TEST_F(DeviceCallsTest, UnansweredAndWithheldCalls) {
  Play({"ring", "number P", "unanswered"});
  ASSERT_TRUE(WaitFor([&] {
    return Query("SELECT state FROM incoming_numbers") == std::vector<std::string>{"2"};
  }));
  EXPECT_EQ(Query("SELECT phone_number, connected FROM incoming_numbers"),
            std::vector<std::string>{"P|0"});
  EXPECT_TRUE(Query("SELECT 1 FROM phone_numbers").empty());
}

TEST_F(DeviceCallsTest, KnownNumberIsUpdatedNotAddedAgain) {
  Play({"ring", "number 0451234567", "unanswered"});
  ASSERT_TRUE(CallsReach(1));
  const auto first = Query("SELECT last_incoming_date FROM phone_numbers");
  Play({"sleep 20", "ring", "number 0451234567", "unanswered"});
  ASSERT_TRUE(CallsReach(2));
  ASSERT_TRUE(
      WaitFor([&] { return Query("SELECT last_incoming_date FROM phone_numbers") != first; }));
  EXPECT_EQ(Query("SELECT count(*) FROM phone_numbers"), std::vector<std::string>{"1"});
  EXPECT_EQ(Query("SELECT last_incoming_date = (SELECT max(incoming_date) FROM incoming_numbers) "
                  "FROM phone_numbers"),
            std::vector<std::string>{"1"});
}

// The end that closing the port gives a call in progress is written too.
TEST_F(DeviceCallsTest, CallInProgressAtExitIsEndedInTheHistory) {
  Play({"ring", "number 0399997777", "offhook"});
  ASSERT_TRUE(WaitFor([&] {
    return Query("SELECT connected FROM incoming_numbers") == std::vector<std::string>{"1"};
  }));
  program->Terminate();
  ASSERT_EQ(program->WaitExit(), 0);
  EXPECT_EQ(Query("SELECT state, connected FROM incoming_numbers"),
            std::vector<std::string>{"2|1"});
  program = StartProgram({"-arun"});
  ASSERT_TRUE(WaitFor([&] { return CountOf(MainLog(), "MirelUSB/RX2に接続しました。") == 2; }));
}

TEST_F(DeviceCallsTest, UnpluggedDuringACallThenPluggedBack) {
  Play({"ring", "number 0399998888", "offhook"});
  ASSERT_TRUE(WaitFor([&] {
    return Query("SELECT connected FROM incoming_numbers") == std::vector<std::string>{"1"};
  }));
  Play({"unplug"});
  // The call is finished as hung up when the port goes.
  ASSERT_TRUE(WaitFor([&] {
    return Query("SELECT state FROM incoming_numbers") == std::vector<std::string>{"2"};
  }));
  ASSERT_TRUE(LogHas("Mirelに再接続します。Port=["));
  const std::string log = MainLog();
  EXPECT_TRUE(log.find("COMデバイスエラー") != std::string::npos ||
              log.find("MirelKT5通信が強制終了されました。") != std::string::npos);
  Play({"replug"});
  ASSERT_EQ(adapter->NextLine().rfind("ready ", 0), 0u);
  ASSERT_TRUE(WaitFor(
      [&] {
        const std::string text = MainLog();
        const size_t reconnect = text.find("Mirelに再接続します。");
        return text.find("MirelUSB/RX2に接続しました。", reconnect) != std::string::npos;
      },
      std::chrono::seconds(20)));
  Play({"ring", "number 0311112222", "unanswered"});
  ASSERT_TRUE(CallsReach(2));
}

TEST_F(DeviceCallsTest, ClockIsSetOnceInTheConfiguredMinute) {
  program->Terminate();
  ASSERT_EQ(program->WaitExit(), 0);
  // Far enough from the end of a minute for the 10-second timer to fire in it.
  ASSERT_TRUE(WaitFor(
      [] {
        const std::time_t t = std::time(nullptr);
        std::tm local{};
        localtime_r(&t, &local);
        return local.tm_sec < 40;
      },
      std::chrono::seconds(30)));
  const std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  WriteIni("MirelKT5Port=" + home.Path() + "/adapter\r\nSetAutoDateTime=1\r\nExecHour=" +
           std::to_string(local.tm_hour) + "\r\nExecMinute=" + std::to_string(local.tm_min));
  program = StartProgram({"-arun"});
  const std::string line = adapter->WaitFor("recv C", 20000);
  char expected[16];
  std::strftime(expected, sizeof expected, "%Y%m%d%H%M", &local);
  EXPECT_EQ(line, std::string("recv C ") + expected);
  // No second setting within that minute.
  EXPECT_TRUE(adapter->Run("sleep 11000", 15000));
  for (const std::string& skipped : adapter->Skipped)
    EXPECT_EQ(skipped.rfind("recv C", 0), std::string::npos) << skipped;
}

TEST_F(DeviceCallsTest, SettingsSavedDuringASearchLeaveNoProbingLoop) {
  program->Terminate();
  ASSERT_EQ(program->WaitExit(), 0);
  std::filesystem::remove_all(home.Path() + "/logs");
  // An adapter slow to answer keeps the search running while the settings
  // change to "TEST" and back.
  adapter.reset();
  adapter = std::make_unique<TAdapterSimProcess>(
      std::vector<std::string>{"--link", home.Path() + "/adapter", "--reply-delay", "900"});
  ASSERT_EQ(adapter->NextLine().rfind("ready ", 0), 0u);
  const std::string port = "MirelKT5Port=" + home.Path() + "/adapter";
  program = StartProgram({"-arun"});
  ASSERT_TRUE(WaitFor(
      [&] { return ScanLog().find("スレッドで指定ポートチェックします。") != std::string::npos; }));
  SaveSettings(*program, "MirelKT5Port=TEST");
  ASSERT_TRUE(LogHas("電話番号発信シミュレータモード開始"));
  SaveSettings(*program, port);
  ASSERT_TRUE(LogHas("電話番号発信シミュレータモード終了"));
  ASSERT_TRUE(LogHas("MirelUSB/RX2に接続しました。Port=[" + home.Path() + "/adapter]"));
  // The second start was refused while the first search ran.
  ASSERT_NE(ScanLog().find("既に接続ポート探索開始しています。"), std::string::npos);
  const auto searches = [&] { return CountOf(ScanLog(), "ポートチェック"); };
  const size_t connected = searches();
  // Several ticks of the two-second search timer.
  ASSERT_TRUE(adapter->Run("sleep 5000", 10000));
  EXPECT_EQ(searches(), connected);
  Play({"ring", "number 0312345678", "unanswered"});
  ASSERT_TRUE(CallsReach(1));
}
