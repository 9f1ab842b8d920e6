#include "E2eHarness.h"

#include <random>
#include <set>
#include <thread>

// Calls the adapter kept in its own memory while the program was not taking
// them, caught up at each connection.
class MemoryCatchUpTest : public E2eTest {
protected:
  static constexpr const char* Done = "本体メモリの着信を確認しました。";
  static constexpr const char* Connected = "MirelUSB/RX2に接続しました。";

  void SetUp() override {
    E2eTest::SetUp();
    StartAdapter();
    WriteIni("MirelKT5Port=" + home.Path() + "/adapter");
  }
  void TearDown() override {
    if (program && program->Running()) {
      program->Terminate();
      EXPECT_EQ(program->WaitExit(), 0);
    }
  }

  // Starts the program and waits for its catch-up number `readings`.
  void StartAndCatchUp(size_t readings) {
    program = StartProgram({"-arun"});
    ASSERT_TRUE(
        WaitFor([&] { return CountOf(MainLog(), Done) >= readings; }, std::chrono::seconds(30)));
  }
  void Stop() {
    program->Terminate();
    ASSERT_EQ(program->WaitExit(), 0);
  }
  void Play(const std::vector<std::string>& commands) {
    for (const std::string& c : commands)
      ASSERT_TRUE(adapter->Run(c)) << c;
  }
  std::vector<std::string> Calls() const {
    return Query("SELECT phone_number, state, connected FROM incoming_numbers"
                 " ORDER BY phone_number");
  }
  // A call the live path showed leaves its registration line in the log.
  bool Shown(const std::string& number) const {
    return MainLog().find("番号 [" + number + "]") != std::string::npos;
  }

  std::unique_ptr<TProgramProcess> program;
};

TEST_F(MemoryCatchUpTest, CallsWhileStoppedAreAddedOnceSilentlyAndDeletedOnesStayDeleted) {
  StartAndCatchUp(1);
  Play({"ring", "number 0311110001", "offhook", "onhook"});
  ASSERT_TRUE(WaitFor([&] { return Calls() == std::vector<std::string>{"0311110001|2|1"}; }));
  Stop();
  Play({"ring", "number 0311110002", "offhook", "onhook", "ring", "number P", "unanswered"});
  StartAndCatchUp(2);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"0311110001|2|1", "0311110002|2|1", "P|2|0"}));
  EXPECT_FALSE(Shown("0311110002"));
  EXPECT_FALSE(Shown("P"));
  EXPECT_TRUE(LogHas("本体メモリの着信を履歴に追加しました。電話番号=[0311110002]"));
  // Registered as a new caller would be, with the call's date.
  EXPECT_EQ(
      Query("SELECT p.last_incoming_date = i.incoming_date FROM phone_numbers p"
            " JOIN incoming_numbers i USING (phone_number) WHERE phone_number = '0311110002'"),
      std::vector<std::string>{"1"});

  // A restart adds nothing.
  Stop();
  StartAndCatchUp(3);
  EXPECT_EQ(Calls().size(), 3u);

  // Calls deleted in the history, one caught up and one taken live, stay
  // deleted after a reconnect.
  Play({"ring", "number 0311110004", "unanswered"});
  ASSERT_TRUE(WaitFor([&] { return Calls().size() == 4 && Calls()[2] == "0311110004|2|0"; }));
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open((home.Path() + "/teloria2.db3").c_str(), &other), SQLITE_OK);
  sqlite3_busy_timeout(other, 5000);
  ASSERT_EQ(sqlite3_exec(other,
                         "DELETE FROM incoming_numbers"
                         " WHERE phone_number IN ('0311110002', '0311110004')",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(other);
  Play({"unplug", "replug"});
  ASSERT_EQ(adapter->NextLine().rfind("ready ", 0), 0u);
  ASSERT_TRUE(WaitFor([&] { return CountOf(MainLog(), Done) >= 4; }, std::chrono::seconds(30)));
  EXPECT_EQ(Calls(), (std::vector<std::string>{"0311110001|2|1", "P|2|0"}));
}

TEST_F(MemoryCatchUpTest, SwitchedOffNothingIsRead) {
  WriteIni("MirelKT5Port=" + home.Path() + "/adapter\r\nMemoryCatchUp=0");
  Play({"ring", "number 0311110009", "unanswered"});
  program = StartProgram({"-arun"});
  ASSERT_TRUE(LogHas("MirelUSB/RX2に接続しました。"));
  Play({"ring", "number 0311110010", "unanswered"});
  ASSERT_TRUE(WaitFor([&] { return Calls() == std::vector<std::string>{"0311110010|2|0"}; }));
  EXPECT_EQ(CountOf(MainLog(), Done), 0u);
  for (const std::string& line : adapter->Skipped)
    EXPECT_EQ(line.rfind("recv MT", 0), std::string::npos) << line;
}

// Slow replies keep the reads going while a call rings: it is shown and
// recorded like any call, and an unplug in the middle loses nothing.
TEST_F(MemoryCatchUpTest, CallsDuringTheReadsAndAnUnplugLoseNothing) {
  adapter.reset();
  adapter = std::make_unique<TAdapterSimProcess>(
      std::vector<std::string>{"--link", home.Path() + "/adapter", "--reply-delay", "150"});
  ASSERT_EQ(adapter->NextLine().rfind("ready ", 0), 0u);
  StartAndCatchUp(1); // the adapter has been read once: its later calls are all new
  Stop();
  Play({"ring", "number 0322220001", "unanswered"});
  program = StartProgram({"-arun"});
  adapter->WaitFor("recv MT 03", 20000);
  Play({"ring", "number 0322220002", "offhook", "onhook"});
  ASSERT_TRUE(WaitFor([&] { return Shown("0322220002"); }));
  adapter->WaitFor("recv MT 05", 20000);
  Play({"unplug", "replug"});
  ASSERT_EQ(adapter->NextLine().rfind("ready ", 0), 0u);
  ASSERT_TRUE(WaitFor([&] { return CountOf(MainLog(), Done) >= 2; }, std::chrono::seconds(40)));
  EXPECT_EQ(Calls(), (std::vector<std::string>{"0322220001|2|0", "0322220002|2|1"}));
  EXPECT_FALSE(Shown("0322220001"));
}

// The program killed at random moments while calls come in: after a restart
// every call played is in the history once, and every one has ended.
TEST_F(MemoryCatchUpTest, KilledAtRandomMomentsEveryCallIsRecordedOnce) {
  std::mt19937 random(20261209);
  std::set<std::string> played;
  StartAndCatchUp(1);
  for (int round = 0; round < 30; ++round) {
    const std::string number = "03" + std::to_string(33330000 + round);
    played.insert(number);
    adapter->Send("ring");
    adapter->Send("number " + number);
    adapter->Send("sleep " + std::to_string(std::uniform_int_distribution<int>(0, 60)(random)));
    adapter->Send(round % 2 ? "unanswered" : "offhook");
    if (round % 2 == 0)
      adapter->Send("onhook");
    adapter->Send("sleep 1");
    // Somewhere between before the number and after the call's end.
    const int waitMs = std::uniform_int_distribution<int>(0, 120)(random);
    std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
    program->Kill();
    program->WaitExit();
    adapter->WaitFor("ok sleep 1", 10000);
    // A killed program cannot give up its exclusive hold of the line.
    adapter->Send("replug");
    ASSERT_EQ(adapter->WaitFor("ready ", 10000).rfind("ready ", 0), 0u);
    const size_t connections = CountOf(MainLog(), Connected);
    program = StartProgram({"-arun"});
    ASSERT_TRUE(WaitFor([&] { return CountOf(MainLog(), Connected) > connections; }));
  }
  const size_t readings = CountOf(MainLog(), Done);
  ASSERT_GE(readings, 1u);
  Stop();
  StartAndCatchUp(readings + 1);
  std::vector<std::string> expected;
  for (const std::string& number : played)
    expected.push_back(number + "|2");
  EXPECT_EQ(Query("SELECT phone_number, state FROM incoming_numbers ORDER BY phone_number"),
            expected);
}

// A caller number read just before SIGTERM is still recorded: the port
// hands on what it read before it closes.
TEST_F(MemoryCatchUpTest, ANumberReadJustBeforeSigtermIsRecorded) {
  WriteIni("MirelKT5Port=" + home.Path() + "/adapter\r\nMemoryCatchUp=0");
  for (int round = 0; round < 5; ++round) {
    const size_t connections = CountOf(MainLog(), Connected);
    program = StartProgram({"-arun"});
    ASSERT_TRUE(WaitFor([&] { return CountOf(MainLog(), Connected) > connections; }));
    const std::string number = "03" + std::to_string(44440000 + round);
    Play({"ring", "number " + number});
    Stop();
    EXPECT_EQ(Query("SELECT count(*) FROM incoming_numbers WHERE phone_number = '" + number + "'"),
              std::vector<std::string>{"1"})
        << round;
  }
}
