#include "E2eHarness.h"
#include "support/BadDatabases.h"

#include "base/UniqueFd.h"
#include <csignal>
#include <fcntl.h>
#include <fmt/printf.h>
#include <sys/resource.h>

// One instance per user, "-shutdown", simulator and debug modes.
class ProcessLifeTest : public E2eTest {
protected:
  // A call of the number-sending simulator: its number, then its end
  // (answered after a second's ring, or not answered).
  std::string SimCall(int group, const std::string& number, bool answered) {
    const std::string g = std::to_string(group);
    const std::string shown = Tool("teloria2-number-sim", {"call", "2", g, number});
    return shown + Tool("teloria2-number-sim",
                        answered ? std::vector<std::string>{"call", "3", g, number, "--ring", "1"}
                                 : std::vector<std::string>{"call", "5", g, number});
  }
  std::string JournalLine(const std::string& kind, const std::string& date,
                          const std::string& number, int seconds = 0) {
    return kind + "\t" + date + "\t" + number + "\t" + std::to_string(seconds) + "\n";
  }
};

// A small disk of the test's own (a tmpfs, in a mount namespace of its own
// when not root), for a disk that is really full.
bool MountSmallDisk(const std::string& folder) {
  if (geteuid() != 0) {
    const std::string uid = std::to_string(geteuid()), gid = std::to_string(getegid());
    if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
      return false;
    WriteFile("/proc/self/setgroups", "deny");
    WriteFile("/proc/self/uid_map", "0 " + uid + " 1");
    WriteFile("/proc/self/gid_map", "0 " + gid + " 1");
  }
  return mount("teloria2-test", folder.c_str(), "tmpfs", 0, "size=4m,mode=0700") == 0;
}

// Takes every block left on the disk.
void FillDisk(const std::string& file) {
  const TUniqueFd fd(open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
  const std::string block(4096, 'x');
  while (write(fd.Get(), block.data(), block.size()) > 0) {
  }
  while (write(fd.Get(), block.data(), 1) > 0) {
  }
}

TEST_F(ProcessLifeTest, SecondStartAndShutdownRequest) {
  WriteIni("MirelKT5Port=TEST");
  auto first = StartProgram({"-arun"});
  ASSERT_TRUE(WaitFor([&] { return Tool("teloria2-number-sim", {"query"}) == "100"; }));
  auto second = StartProgram();
  EXPECT_EQ(second->WaitExit(), 0);
  EXPECT_TRUE(LogHas("[info ] 二重起動のため終了します。"));
  // Only the exact first argument asks for a shutdown.
  auto upper = StartProgram({"-SHUTDOWN"});
  EXPECT_EQ(upper->WaitExit(), 0);
  EXPECT_TRUE(first->Running());
  auto shutdown = StartProgram({"-shutdown"});
  EXPECT_EQ(shutdown->WaitExit(), 0);
  EXPECT_EQ(first->WaitExit(), 0);
  EXPECT_TRUE(LogHas("[info ] 起動中のタスクを終了させます。"));
  EXPECT_EQ(Tool("teloria2-number-sim", {"query"}), "no-window");
  // The starts that only passed a message on logged one line each.
  EXPECT_EQ(CountOf(MainLog(), "ログ開始"), 1u);
  EXPECT_EQ(CountOf(MainLog(), "ログ終了"), 1u);
}

// A desktop session and a shell without XDG_RUNTIME_DIR have runtime folders
// of their own; the data folder is one.
TEST_F(ProcessLifeTest, SecondStartFromAnotherRuntimeFolderEndsAsAlreadyRunning) {
  const std::string shell = home.Path() + "/shell";
  std::filesystem::create_directory(shell);
  RunAsAnotherUserWhenRoot();
  WriteIni("MirelKT5Port=TEST");
  auto first = StartProgram({"-arun"});
  ASSERT_TRUE(WaitFor([&] { return Tool("teloria2-number-sim", {"query"}) == "100"; }));
  extraEnv = {"XDG_RUNTIME_DIR=" + shell};
  EXPECT_EQ(StartProgram({"-arun"})->WaitExit(), 0);
  EXPECT_TRUE(LogHas("[info ] 二重起動のため終了します。"));
  EXPECT_FALSE(std::filesystem::exists(shell + "/teloria2/___KsoCtiClient___.lock"));
  extraEnv = {};
  EXPECT_TRUE(first->Running());
  EXPECT_EQ(Tool("teloria2-number-sim", {"call", "2", "900", "0312345678"}), "100");
  ASSERT_TRUE(CallsReach(1));
  EXPECT_EQ(StartProgram({"-exit"})->WaitExit(), 0);
  EXPECT_EQ(first->WaitExit(), 0);
  EXPECT_EQ(CountOf(MainLog(), "ログ開始"), 1u);
  EXPECT_EQ(Query("SELECT phone_number FROM incoming_numbers"),
            std::vector<std::string>{"0312345678"});
}

// As some session cleaners do: the runtime folder goes under the program.
TEST_F(ProcessLifeTest, RuntimeFolderRemovedWhileRunningIsMadeAgainForTheVerbs) {
  RunAsAnotherUserWhenRoot();
  WriteIni("MirelKT5Port=TEST");
  auto program = StartProgram({"-arun"});
  ASSERT_TRUE(WaitFor([&] { return Tool("teloria2-number-sim", {"query"}) == "100"; }));
  std::filesystem::remove_all(home.Path() + "/run/teloria2");
  EXPECT_EQ(StartProgram({"-show", "history"}, "verb.txt")->WaitExit(30000), 0);
  EXPECT_TRUE(LogHas("[info ] コマンドラインの指示で画面を開きました。[history]"));
  EXPECT_TRUE(LogHas("] のファイルが失われていたため、作り直しました。"));
  EXPECT_EQ(Tool("teloria2-number-sim", {"query"}), "100");
  EXPECT_EQ(StartProgram({"-exit"}, "verb.txt")->WaitExit(30000), 0);
  EXPECT_EQ(program->WaitExit(), 0);
  EXPECT_EQ(CountOf(MainLog(), "ログ開始"), 1u);
}

TEST_F(ProcessLifeTest, ClosingItsTerminalEndsTheProgramAsTheExitCommandDoes) {
  WriteIni("MirelKT5Port=TEST");
  auto program = StartProgram({"-arun"});
  ASSERT_TRUE(WaitFor([&] { return Tool("teloria2-number-sim", {"query"}) == "100"; }));
  const std::string socket =
      home.Path() + "/run/teloria2/" + std::to_string(program->Pid()) + ".sock";
  ASSERT_TRUE(std::filesystem::exists(socket));
  program->Signal(SIGHUP);
  EXPECT_EQ(program->WaitExit(), 0);
  EXPECT_FALSE(std::filesystem::exists(socket));
  EXPECT_TRUE(LogHas("[info ] ************ ログ終了:"));
}

TEST_F(ProcessLifeTest, AfterACrashStartAndShutdownThenStartWork) {
  WriteIni("MirelKT5Port=TEST");
  const auto simulatorAnswers = [&] { return Tool("teloria2-number-sim", {"query"}) == "100"; };
  // The window handle the running instance publishes.
  const auto published = [&] {
    const std::string bytes = ReadFile(home.Path() + "/run/teloria2/TELORIA2_CLIENT_WINDOW_MMF");
    uint32_t value = 0;
    for (size_t i = bytes.size() == 4 ? 4 : 0; i > 0; --i)
      value = (value << 8) | static_cast<uint8_t>(bytes[i - 1]);
    return static_cast<pid_t>(value);
  };
  auto crashed = StartProgram({"-arun"});
  ASSERT_TRUE(WaitFor(simulatorAnswers));
  const std::string crashedSocket =
      home.Path() + "/run/teloria2/" + std::to_string(crashed->Pid()) + ".sock";
  crashed->Kill();
  EXPECT_EQ(crashed->WaitExit(), 128 + SIGKILL);
  ASSERT_TRUE(std::filesystem::exists(crashedSocket));
  ASSERT_EQ(published(), crashed->Pid());

  // What the crash left names no running instance.
  EXPECT_EQ(StartProgram({"-shutdown"})->WaitExit(), 0);
  EXPECT_EQ(MainLog().find("起動中のタスクを終了させます。"), std::string::npos);
  auto second = StartProgram({"-arun"});
  ASSERT_TRUE(WaitFor(simulatorAnswers));
  EXPECT_EQ(published(), second->Pid());
  EXPECT_FALSE(std::filesystem::exists(crashedSocket));
  EXPECT_EQ(Tool("teloria2-number-sim", {"call", "2", "900", "0312345678"}), "100");
  ASSERT_TRUE(CallsReach(1));

  // "-shutdown && start": the start becomes the new instance.
  EXPECT_EQ(StartProgram({"-shutdown"})->WaitExit(), 0);
  auto third = StartProgram({"-arun"});
  ASSERT_TRUE(WaitFor(simulatorAnswers));
  EXPECT_EQ(published(), third->Pid());
  EXPECT_EQ(second->WaitExit(), 0);
  EXPECT_TRUE(third->Running());
  EXPECT_EQ(MainLog().find("二重起動のため終了します。"), std::string::npos);
  third->Terminate();
  EXPECT_EQ(third->WaitExit(), 0);
}

TEST_F(ProcessLifeTest, SimulatorCallIsRecordedAnsweredWithItsSeconds) {
  WriteIni("MirelKT5Port=TEST");
  auto program = StartProgram({"-arun"});
  ASSERT_TRUE(WaitFor([&] { return Tool("teloria2-number-sim", {"query"}) == "100"; }));
  EXPECT_EQ(Tool("teloria2-number-sim", {"call", "1", "900"}), "100");
  EXPECT_EQ(Tool("teloria2-number-sim", {"call", "2", "900", "0312345678"}), "100");
  ASSERT_TRUE(CallsReach(1));
  EXPECT_EQ(Tool("teloria2-number-sim", {"call", "3", "900", "0312345678", "--ring", "5"}), "100");
  EXPECT_EQ(Tool("teloria2-number-sim",
                 {"call", "4", "900", "0312345678", "--ring", "5", "--talk", "30"}),
            "100");
  ASSERT_TRUE(WaitFor([&] {
    return Query("SELECT state FROM incoming_numbers") == std::vector<std::string>{"2"};
  }));
  EXPECT_EQ(Query("SELECT phone_number, connected, offhook_seconds, onhook_seconds "
                  "FROM incoming_numbers"),
            std::vector<std::string>{"0312345678|1|5|30"});
  program->Terminate();
  EXPECT_EQ(program->WaitExit(), 0);
  // Offscreen has neither window opacity nor a tray: the program asks
  // rather than trying, and its output stays quiet.
  const std::string output = ReadFile(home.Path() + "/output.txt");
  EXPECT_EQ(output.find("window opacity"), std::string::npos) << output;
  EXPECT_EQ(output.find("systemTrayWindowChanged"), std::string::npos) << output;
}

// Neither the Wayland plugin nor a compositor nor an X display: no abort.
TEST_F(ProcessLifeTest, MissingWaylandFallsBackToAPlatformThatStarts) {
  WriteIni("MirelKT5Port=TEST");
  extraEnv = {"QT_QPA_PLATFORM=wayland", "WAYLAND_DISPLAY=teloria2-none", "DISPLAY="};
  auto program = StartProgram({"-arun"});
  ASSERT_TRUE(WaitFor([&] { return Tool("teloria2-number-sim", {"query"}) == "100"; }));
  EXPECT_TRUE(LogHas("[warng] Qt プラットフォーム wayland を使えないため offscreen を使います。"));
  program->Terminate();
  EXPECT_EQ(program->WaitExit(), 0);
}

TEST_F(ProcessLifeTest, DeviceModeAnswersTheSimulatorWith900) {
  WriteIni("MirelKT5Port=/dev/teloria2-none");
  auto program = StartProgram({"-arun"});
  ASSERT_TRUE(WaitFor([&] { return Tool("teloria2-number-sim", {"query"}) == "900"; }));
  EXPECT_EQ(Tool("teloria2-number-sim", {"call", "2", "1", "0312345678"}), "900");
  program->Terminate();
  EXPECT_EQ(program->WaitExit(), 0);
}

TEST_F(ProcessLifeTest, DebugFileRecordsExactlyOneCallPerNewKey) {
  WriteFile(home.Path() + "/debug.txt", "1,0311111111\r\n");
  WriteIni("MirelKT5Port=debug");
  auto program = StartProgram({"-arun"});
  ASSERT_TRUE(LogHas("[info ] デバッグモード開始"));
  WriteFile(home.Path() + "/debug.txt", "2,0322222222\r\n");
  ASSERT_TRUE(CallsReach(1));
  EXPECT_TRUE(LogHas("電話着信（デバッグモード） [0322222222]"));
  // The unchanged file is read every half second and makes no further call.
  ASSERT_TRUE(LogHas("電話着信（デバッグモード） [0322222222]"));
  WriteFile(home.Path() + "/debug.txt", "3,0333333333\r\n");
  ASSERT_TRUE(CallsReach(2));
  EXPECT_EQ(Query("SELECT phone_number FROM incoming_numbers ORDER BY incoming_date"),
            (std::vector<std::string>{"0322222222", "0333333333"}));
  program->Terminate();
  EXPECT_EQ(program->WaitExit(), 0);
}

TEST_F(ProcessLifeTest, FatalStartupErrorWithoutAScreenIsSaidAndEndsTheProgram) {
  WriteIni("MirelKT5Port=TEST");
  const std::string file = home.Path() + "/teloria2.db3";
  const std::string output = home.Path() + "/output.txt";
  for (const std::string kind : {"folder", "text", "empty", "foreign"}) {
    SCOPED_TRACE(kind);
    MakeBadDatabase(kind, file, BinFolder() + "/teloria2.db3.init");
    const std::string before = DatabaseSnapshot(file);
    std::filesystem::remove(output);
    // No screen to show the error box on: its text goes to the log and stderr.
    EXPECT_EQ(StartProgram({"-arun"})->WaitExit(), 1);
    const std::string box = "データベースファイルを開けませんでした。";
    EXPECT_NE(ReadFile(output).find("teloria2: " + box + "\n" + file + "\n"), std::string::npos);
    EXPECT_NE(MainLog().find("[error] [エラー] " + box + "\r\n" + file), std::string::npos);
    EXPECT_EQ(DatabaseSnapshot(file), before);
    // Mended (removed: the template makes a new one), the next start runs.
    std::filesystem::remove_all(file);
    auto program = StartProgram({"-arun"});
    ASSERT_TRUE(WaitFor([&] { return Tool("teloria2-number-sim", {"query"}) == "100"; }));
    program->Terminate();
    EXPECT_EQ(program->WaitExit(), 0);
    std::filesystem::remove(file);
  }
  // A program folder that cannot be made: there is no log, stderr says why.
  WriteFile(home.Path() + "/plain", "");
  extraEnv = {"TELORIA2_HOME=" + home.Path() + "/plain/teloria2"};
  std::filesystem::remove(output);
  EXPECT_EQ(StartProgram({"-arun"})->WaitExit(), 1);
  EXPECT_NE(ReadFile(output).find("teloria2: プログラムフォルダを使用できませんでした。\n" +
                                  home.Path() + "/plain/teloria2\n"),
            std::string::npos);
}

TEST_F(ProcessLifeTest, ReadOnlyDatabaseEndsTheProgramUntouched) {
  RunAsAnotherUserWhenRoot();
  WriteIni("MirelKT5Port=TEST");
  auto program = StartProgram({"-arun"}); // makes the database and the log folder
  ASSERT_TRUE(WaitFor([&] { return Tool("teloria2-number-sim", {"query"}) == "100"; }));
  program.reset();
  const std::string file = home.Path() + "/teloria2.db3", shm = file + "-shm";
  const std::vector<std::tuple<std::string, mode_t, std::string>> cases{
      {file, 0400, "ファイルに書き込めません。(Permission denied)"},
      {home.Path(), 0500, "フォルダ " + home.Path() + " に書き込めません。(Permission denied)"},
      {shm, 0400, shm + " に書き込めません。(Permission denied)"},
      {shm, 0600, shm + " は他のユーザーのファイルです。"}};
  for (const auto& [path, mode, reason] : cases) {
    if (path == shm) { // as SQLite leaves it; the test's own user is another only as root
      WriteFile(shm, "");
      if (mode == 0600 && geteuid() != 0)
        continue;
      ASSERT_TRUE(mode == 0600 || geteuid() != 0 ||
                  lchown(shm.c_str(), kOtherUser, kOtherUser) == 0);
    }
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
    const std::string before = ReadFile(file);
    program = StartProgram({"-arun"});
    EXPECT_TRUE(
        LogHas("データベースファイルを開けません。File=[" + file + "]\r\n[原因] " + reason));
    program.reset();
    EXPECT_EQ(ReadFile(file), before);
    EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(mode));
    EXPECT_FALSE(std::filesystem::exists(file + "-wal"));
    ASSERT_EQ(path == shm ? unlink(shm.c_str()) : chmod(path.c_str(), mode | 0200), 0);
  }
}

TEST_F(ProcessLifeTest, WritesRefusedByAFullDiskAreKeptInOrderAcrossARestart) {
  WriteIni("MirelKT5Port=TEST");
  // No file may grow two pages past the new database, as on a full disk.
  const rlim_t size = std::filesystem::file_size(BinFolder() + "/teloria2.db3.init") + 8 * 1024;
  const rlimit full{size, RLIM_INFINITY}, room{RLIM_INFINITY, RLIM_INFINITY};
  inChild = [&] {
    return signal(SIGXFSZ, SIG_IGN) != SIG_ERR && setrlimit(RLIMIT_FSIZE, &full) == 0;
  };
  auto program = StartProgram({"-arun"});
  ASSERT_TRUE(WaitFor([&] { return Tool("teloria2-number-sim", {"query"}) == "100"; }));
  int calls = 0;
  const auto call = [&] {
    const std::string group = std::to_string(900 + ++calls);
    const std::string number = fmt::sprintf("03%08d", calls);
    const std::string answer = Tool("teloria2-number-sim", {"call", "2", group, number});
    return answer + Tool("teloria2-number-sim", {"call", "3", group, number, "--ring", "1"});
  };
  const std::string outage = "[error] データベースに書き込めないため書き込みを保留します。";
  while (MainLog().find(outage) == std::string::npos && calls < 30)
    ASSERT_EQ(call(), "100100");
  ASSERT_EQ(call(), "100100");
  ASSERT_EQ(prlimit(program->Pid(), RLIMIT_FSIZE, &room, nullptr), 0);
  ASSERT_TRUE(LogHas("[info ] 保留していた書き込みをすべて行いました。"));
  // Full again, and the program ends before there is room.
  ASSERT_EQ(prlimit(program->Pid(), RLIMIT_FSIZE, &full, nullptr), 0);
  ASSERT_EQ(call() + call(), "100100100100");
  program->Terminate();
  EXPECT_EQ(program->WaitExit(), 0);
  inChild = {};
  program = StartProgram({"-arun"});
  ASSERT_TRUE(LogHas("前回書き込めなかった記録をすべて書き込みました。"));
  // Each call once, complete, numbered in the order of its arrival.
  const auto rows = Query("SELECT phone_number, state, connected, offhook_seconds, onhook_seconds "
                          "FROM incoming_numbers ORDER BY incoming_order");
  ASSERT_EQ(rows.size(), size_t(calls));
  for (int i = 0; i < calls; ++i)
    EXPECT_EQ(rows[i], fmt::sprintf("03%08d|1|1|1|0", i + 1));
  EXPECT_EQ(CountOf(MainLog(), outage), 2u);
}

// The database and the journal of the writes it refuses meet the same full
// disk: the room the journal keeps from the start holds them.
TEST_F(ProcessLifeTest, CallsRefusedByAFullDiskAtExitComeBackAtTheNextStart) {
  const std::string disk = home.Path() + "/disk";
  std::filesystem::create_directory(disk);
  ASSERT_TRUE(MountSmallDisk(disk));
  extraEnv = {"TELORIA2_HOME=" + disk};
  WriteFile(disk + "/teloria2.ini",
            "[Settings]\r\nMirelKT5Port=TEST\r\n[Settings.Logging]\r\nLogLevel=3\r\nLogDir=" +
                home.Path() + "/logs\r\n");
  auto program = StartProgram({"-arun"});
  ASSERT_TRUE(WaitFor([&] { return Tool("teloria2-number-sim", {"query"}) == "100"; }));
  FillDisk(disk + "/filler");
  // What SQLite's files hold of free room takes the first calls.
  int calls = 0;
  const std::string outage = "[error] データベースに書き込めないため書き込みを保留します。";
  while (MainLog().find(outage) == std::string::npos && calls < 40) {
    ++calls;
    ASSERT_EQ(SimCall(800 + calls, fmt::sprintf("03%08d", calls), calls % 2 == 1), "100100");
  }
  for (int i = 0; i < 5; ++i, ++calls)
    ASSERT_EQ(SimCall(801 + calls, fmt::sprintf("03%08d", calls + 1), calls % 2 == 0), "100100");
  program->Terminate();
  ASSERT_EQ(program->WaitExit(), 0);
  EXPECT_GE(CountOf(MainLog(), "書き込めないまま終了します。次回の起動時に書き込みます。"), 10u);
  EXPECT_EQ(CountOf(MainLog(), "保留した書き込みをファイルに残せません"), 0u);
  std::filesystem::remove(disk + "/filler");
  program = StartProgram({"-arun"});
  ASSERT_TRUE(LogHas("前回書き込めなかった記録をすべて書き込みました。"));
  dataFolder = disk;
  const auto rows = Query("SELECT phone_number, state, connected FROM incoming_numbers "
                          "ORDER BY incoming_order");
  ASSERT_EQ(rows.size(), size_t(calls));
  for (int i = 1; i <= calls; ++i)
    EXPECT_EQ(rows[i - 1], fmt::sprintf("03%08d|%s", i, i % 2 == 1 ? "1|1" : "2|0"));
}

// A journal is taken only from a file of the user's own that nobody else may
// write, and only records a call from the adapter could make.
TEST_F(ProcessLifeTest, AJournalIsReadOnlyWhenOursAloneAndOnlyForWhatTheAdapterCouldSend) {
  WriteIni("MirelKT5Port=TEST");
  const std::string journal = home.Path() + "/teloria2.pending";
  const std::string date = "2026/12/01 10:00:00.000";
  WriteFile(journal, JournalLine("call", date, "0311111111") +
                         JournalLine("answered", date, "0311111111", 3) +
                         JournalLine("call", "\x1b[31mevil\a", "0322222222") +
                         JournalLine("call", "9999/99/99 99:99:99.999", "0333333333") +
                         JournalLine("call", date, std::string(5000, '4')) +
                         JournalLine("call", date, "") +
                         JournalLine("hungup", date, "0311111111", -99999));
  chmod(journal.c_str(), 0600);
  RunAsAnotherUserWhenRoot();
  auto program = StartProgram({"-arun"});
  ASSERT_TRUE(LogHas("前回書き込めなかった記録をすべて書き込みました。"));
  EXPECT_EQ(Query("SELECT phone_number, state, offhook_seconds FROM incoming_numbers"),
            std::vector<std::string>{"0311111111|1|3"});
  EXPECT_EQ(Query("SELECT phone_number FROM phone_numbers"),
            std::vector<std::string>{"0311111111"});
  for (int line = 3; line <= 7; ++line)
    EXPECT_NE(MainLog().find(fmt::sprintf("] %d行目 [", line)), std::string::npos) << line;
  program->Terminate();
  ASSERT_EQ(program->WaitExit(), 0);
  // Writable by others: kept aside, never read.
  WriteFile(journal, JournalLine("call", date, "0344444444"));
  ASSERT_EQ(chmod(journal.c_str(), 0666), 0);
  program = StartProgram({"-arun"});
  ASSERT_TRUE(LogHas("保留していた書き込みのファイルを読み込まずに"));
  ASSERT_TRUE(WaitFor([&] { return Tool("teloria2-number-sim", {"query"}) == "100"; }));
  EXPECT_EQ(Query("SELECT count(*) FROM incoming_numbers WHERE phone_number = '0344444444'"),
            std::vector<std::string>{"0"});
}

// A long journal is written between the events of the run: a live call is
// recorded and the exit command obeyed while it is written.
TEST_F(ProcessLifeTest, ALongJournalHoldsUpNeitherCallsNorTheExit) {
  WriteIni("MirelKT5Port=TEST");
  std::string lines;
  for (int i = 0; i < 200000; ++i)
    lines += JournalLine("call",
                         fmt::sprintf("2026/11/%02d %02d:%02d:%02d.000", 1 + i / 86400 % 28,
                                      i / 3600 % 24, i / 60 % 60, i % 60),
                         fmt::sprintf("04%08d", i));
  const std::string journal = home.Path() + "/teloria2.pending";
  WriteFile(journal, lines);
  chmod(journal.c_str(), 0600);
  auto program = StartProgram({"-arun"});
  ASSERT_TRUE(WaitFor([&] { return Tool("teloria2-number-sim", {"query"}) == "100"; }));
  ASSERT_EQ(SimCall(900, "0399999999", false), "100100");
  ASSERT_TRUE(WaitFor([&] {
    return Query("SELECT state FROM incoming_numbers WHERE phone_number = '0399999999'") ==
           std::vector<std::string>{"2"};
  }));
  EXPECT_EQ(MainLog().find("前回書き込めなかった記録をすべて書き込みました。"), std::string::npos);
  EXPECT_EQ(StartProgram({"-exit"})->WaitExit(), 0);
  EXPECT_EQ(program->WaitExit(), 0);
  // What was not written yet stays for the next start.
  EXPECT_NE(ReadFile(journal).substr(0, 5), std::string(5, '\0'));
}
