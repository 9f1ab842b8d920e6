#include "base/Clock.h"
#include "base/CodePage.h"
#include "base/Exception.h"
#include "settings/Logging.h"
#include "support/TempFolder.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

class FileLoggerTest : public ::testing::Test {
protected:
  void SetUp() override { SetFixedNow(EncodeDateTime({2026, 12, 7, 22, 41, 13, 52})); }
  void TearDown() override { ClearFixedNow(); }

  std::string LogText(const std::string& name) {
    return Cp932ToUtf8(ReadFile(folder.Path() + "/logs/" + name));
  }

  TTempFolder folder;
  TProgramHome home{folder.Path()};
};

TEST_F(FileLoggerTest, RelativeFolderLiesInTheProgramFolderAndIsCreated) {
  TFileLogger logger("ksocti");
  EXPECT_FALSE(logger.Enabled());
  logger.SetLogDir("logs");
  EXPECT_TRUE(logger.Enabled());
  EXPECT_EQ(logger.LogDir(), folder.Path() + "/logs/");
  EXPECT_TRUE(fs::is_directory(folder.Path() + "/logs"));
}

TEST_F(FileLoggerTest, AbsoluteFolderIsUsedAsItIs) {
  TFileLogger logger("ksocti");
  logger.SetLogDir(folder.Path() + "/abs/deep/");
  EXPECT_EQ(logger.LogDir(), folder.Path() + "/abs/deep/");
  logger.WriteLine(llInfo, "x");
  EXPECT_TRUE(fs::exists(folder.Path() + "/abs/deep/ksocti.20261207.log"));
}

TEST_F(FileLoggerTest, FoldersAndFilesItCreatesArePrivate) {
  const auto mode = [](const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0u;
  };
  fs::create_directory(folder.Path() + "/shared");
  fs::permissions(folder.Path() + "/shared", fs::perms(0755));
  TFileLogger logger("ksocti");
  logger.SetLogDir("shared/new/logs");
  logger.WriteLine(llInfo, "x");
  EXPECT_EQ(mode(folder.Path() + "/shared"), 0755u); // an existing folder stays as it is
  EXPECT_EQ(mode(folder.Path() + "/shared/new"), 0700u);
  EXPECT_EQ(mode(folder.Path() + "/shared/new/logs"), 0700u);
  EXPECT_EQ(mode(folder.Path() + "/shared/new/logs/ksocti.20261207.log"), 0600u);
}

TEST_F(FileLoggerTest, UnusableFolderDisablesTheLogger) {
  WriteFile(folder.Path() + "/blocker", "file, not folder");
  TFileLogger logger("ksocti");
  logger.SetLogDir("blocker/logs");
  EXPECT_FALSE(logger.Enabled());
  logger.WriteLine(llError, "dropped");
}

TEST_F(FileLoggerTest, LineFormatIsTimeTagTextInCp932) {
  TFileLogger logger("ksocti");
  logger.SetLogDir("logs");
  logger.WriteLine(llInfo, "着信");
  logger.WriteFmt(llWarning, "%s=%d", "n", 5);
  // A value from outside cannot forge a line nor reach the terminal raw.
  logger.WriteFmt(llInfo, "ID=[%s]", std::string("x\r\n2026/12/07 [fatal] \x1b[2J\a\u0085y"));
  logger.WriteLine(llDebug, "d");
  logger.WriteLine(llError, "e");
  logger.WriteLine(llFatal, "f");
  EXPECT_EQ(ReadFile(folder.Path() + "/logs/ksocti.20261207.log"),
            Utf8ToCp932("2026/12/07 22:41:13.052 [info ] 着信\r\n"
                        "2026/12/07 22:41:13.052 [warng] n=5\r\n"
                        "2026/12/07 22:41:13.052 [info ] ID=[x2026/12/07 [fatal] [2Jy]\r\n"
                        "2026/12/07 22:41:13.052 [debug] d\r\n"
                        "2026/12/07 22:41:13.052 [error] e\r\n"
                        "2026/12/07 22:41:13.052 [fatal] f\r\n"));
}

TEST_F(FileLoggerTest, NewFileAfterMidnightAndAppendAfterRestart) {
  {
    TFileLogger logger("ksocti");
    logger.SetLogDir("logs");
    logger.WriteLine(llInfo, "one");
    SetFixedNow(EncodeDateTime({2026, 12, 8, 0, 0, 0, 1}));
    logger.WriteLine(llInfo, "two");
  }
  TFileLogger restarted("ksocti");
  restarted.SetLogDir("logs");
  restarted.WriteLine(llInfo, "three");
  EXPECT_EQ(LogText("ksocti.20261207.log"), "2026/12/07 22:41:13.052 [info ] one\r\n");
  EXPECT_EQ(LogText("ksocti.20261208.log"), "2026/12/08 00:00:00.001 [info ] two\r\n"
                                            "2026/12/08 00:00:00.001 [info ] three\r\n");
}

TEST_F(FileLoggerTest, LevelsFilterLines) {
  EXPECT_EQ(LevelsFromSetting(0), 0);
  EXPECT_EQ(LevelsFromSetting(1), 0x1C);
  EXPECT_EQ(LevelsFromSetting(2), 0x1E);
  EXPECT_EQ(LevelsFromSetting(3), 0x1F);
  EXPECT_EQ(LevelsFromSetting(5), 0);
  EXPECT_EQ(LevelsFromSetting(-1), 0);
  TFileLogger logger("ksocti");
  logger.SetLogDir("logs");
  logger.SetLevels(LevelsFromSetting(2));
  logger.WriteLine(llDebug, "hidden");
  logger.WriteLine(llInfo, "shown");
  EXPECT_EQ(LogText("ksocti.20261207.log"), "2026/12/07 22:41:13.052 [info ] shown\r\n");
}

TEST_F(FileLoggerTest, LogExceptionPutsTheCauseOnItsOwnLine) {
  MainLogger.SetLogDir("logs");
  MainLogger.SetLevels(AllLogLevels);
  LogException(llError, "登録失敗", Exception("disk I/O error"));
  MainLogger.Close();
  EXPECT_EQ(LogText("ksocti.20261207.log"),
            "2026/12/07 22:41:13.052 [error] 登録失敗\r\n[原因] disk I/O error\r\n");
}

// The port's watch thread, the scanner, the message listener and the main
// thread all log, while the program's end may close the file.
TEST_F(FileLoggerTest, LinesFromManyThreadsAreWholeNoneLostAndInOrder) {
  constexpr int kThreads = 4, kLines = 150;
  TFileLogger logger("ksocti");
  logger.SetLogDir("logs");
  std::atomic<bool> writing{true};
  std::thread closer([&] {
    while (writing) {
      logger.Close();
      std::this_thread::yield();
    }
  });
  {
    std::vector<std::jthread> threads;
    for (int t = 0; t < kThreads; ++t)
      threads.emplace_back([&logger, t] {
        for (int i = 0; i < kLines; ++i)
          logger.WriteFmt(llInfo, "スレッド%d 行%d %s", t, i, std::string(60, char('a' + t)));
      });
  }
  writing = false;
  closer.join();
  const std::string text = LogText("ksocti.20261207.log");
  std::vector<int> next(kThreads, 0);
  size_t lines = 0, at = 0;
  for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
    const std::string line = text.substr(at, end - at);
    int t = -1, i = -1;
    ASSERT_EQ(std::sscanf(line.c_str(), "2026/12/07 22:41:13.052 [info ] スレッド%d 行%d", &t, &i),
              2)
        << line;
    ASSERT_TRUE(t >= 0 && t < kThreads) << line;
    EXPECT_EQ(i, next[t]++) << line;
    EXPECT_EQ(line.substr(line.size() - 61), " " + std::string(60, char('a' + t))) << line;
    ++lines;
  }
  EXPECT_EQ(lines, size_t(kThreads * kLines));
  EXPECT_EQ(at, text.size()); // nothing after the last line
}

class DeleteOldFilesTest : public FileLoggerTest {
protected:
  void Touch(const std::string& name) { WriteFile(folder.Path() + "/logs/" + name, "x"); }
  bool Exists(const std::string& name) { return fs::exists(folder.Path() + "/logs/" + name); }
};

TEST_F(DeleteOldFilesTest, KeepsTheLastDaysAndLeavesStrangeNamesAlone) {
  TFileLogger logger("ksocti");
  logger.SetLogDir("logs");
  for (const char* name : {"ksocti.20261207.log", "ksocti.20261130.log", "ksocti.20261129.log",
                           "ksocti.20250101.log", "ksocti.2026xx01.log", "ksocti.log",
                           "ksocti.20261399.log", "scan.20200101.log", "ksocti.20200101.txt"})
    Touch(name);
  logger.DeleteOldFiles(7);
  EXPECT_TRUE(Exists("ksocti.20261207.log"));
  EXPECT_TRUE(Exists("ksocti.20261130.log"));
  EXPECT_FALSE(Exists("ksocti.20261129.log"));
  EXPECT_FALSE(Exists("ksocti.20250101.log"));
  EXPECT_TRUE(Exists("ksocti.2026xx01.log"));
  EXPECT_TRUE(Exists("ksocti.log"));
  EXPECT_TRUE(Exists("ksocti.20261399.log"));
  EXPECT_TRUE(Exists("scan.20200101.log"));
  EXPECT_TRUE(Exists("ksocti.20200101.txt"));
}

TEST_F(DeleteOldFilesTest, ZeroDaysKeepsOnlyTodayNegativeDaysKeepAll) {
  TFileLogger logger("ksocti");
  logger.SetLogDir("logs");
  Touch("ksocti.20261207.log");
  Touch("ksocti.20261206.log");
  logger.DeleteOldFiles(-1);
  EXPECT_TRUE(Exists("ksocti.20261207.log"));
  EXPECT_TRUE(Exists("ksocti.20261206.log"));
  logger.DeleteOldFiles(0);
  EXPECT_TRUE(Exists("ksocti.20261207.log"));
  EXPECT_FALSE(Exists("ksocti.20261206.log"));
}

TEST_F(DeleteOldFilesTest, DisabledLoggerDeletesNothing) {
  TFileLogger logger("ksocti");
  fs::create_directories(folder.Path() + "/logs");
  Touch("ksocti.20000101.log");
  logger.DeleteOldFiles(0);
  EXPECT_TRUE(Exists("ksocti.20000101.log"));
}
