#include "settings/Logging.h"
#include "base/Clock.h"
#include "base/CodePage.h"
#include "platform/ProgramPaths.h"
#include "settings/AppSettings.h"
#include "support/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>
#include <unistd.h>

class LoggingTest : public ::testing::Test {
protected:
  void SetUp() override {
    SetFixedNow(EncodeDateTime({2026, 12, 7, 9, 5, 3, 7}));
    AppSettings = TAppSettings();
  }
  void TearDown() override {
    ClearFixedNow();
    AppSettings = TAppSettings();
  }
  std::string LogText(const std::string& name) {
    return Cp932ToUtf8(ReadFile(folder.Path() + "/logs/" + name));
  }

  TTempFolder folder;
  TProgramHome home{folder.Path()};
};

TEST_F(LoggingTest, BannersPathAndVersionFrameTheRun) {
  std::filesystem::create_directories(folder.Path() + "/logs");
  WriteFile(folder.Path() + "/logs/ksocti.20261130.log", "kept\r\n");
  WriteFile(folder.Path() + "/logs/ksocti.20261129.log", "old");
  WriteFile(folder.Path() + "/logs/scan.20261206.log", "yesterday");
  WriteFile(folder.Path() + "/logs/scan.20261205.log", "older");
  // A run that ends in an exception still writes its end banner.
  EXPECT_THROW(
      {
        const TLogSession session;
        Log(llInfo, "running");
        throw std::runtime_error("fatal");
      },
      std::runtime_error);
  const std::string t = "2026/12/07 09:05:03.007 [info ] ";
  EXPECT_EQ(LogText("ksocti.20261207.log"),
            t + "************ ログ開始:20261207-090503 ************\r\n" + t +
                "Path: " + ExecutablePath() + "\r\n" + t + "Version: " TELORIA_VERSION "\r\n" + t +
                "running\r\n" + t + "************ ログ終了:20261207-090503 ************\r\n");
  EXPECT_FALSE(std::filesystem::exists(folder.Path() + "/logs/ksocti.20261129.log"));
  EXPECT_TRUE(std::filesystem::exists(folder.Path() + "/logs/ksocti.20261130.log"));
  // The scan log is off by default, yet files older than a day still go.
  EXPECT_FALSE(std::filesystem::exists(folder.Path() + "/logs/scan.20261207.log"));
  EXPECT_TRUE(std::filesystem::exists(folder.Path() + "/logs/scan.20261206.log"));
  EXPECT_FALSE(std::filesystem::exists(folder.Path() + "/logs/scan.20261205.log"));
}

TEST_F(LoggingTest, ScanLogWritesDebugLinesWhenEnabled) {
  AppSettings.LogPortScan = true;
  AppSettings.LogLevel = 1;
  {
    const TLogSession session;
    ScanLogFmt("probe %s", "/dev/ttyUSB0");
    Log(llInfo, "not at level 1");
  }
  const std::string t = "2026/12/07 09:05:03.007 ";
  EXPECT_EQ(LogText("scan.20261207.log"),
            t + "[info ] ************ ログ開始:20261207-090503 ************\r\n" + t +
                "[debug] probe /dev/ttyUSB0\r\n" + t +
                "[info ] ************ ログ終了:20261207-090503 ************\r\n");
  EXPECT_FALSE(std::filesystem::exists(folder.Path() + "/logs/ksocti.20261207.log"));
}

// A log folder where another user could read the calls or replace the files
// is not used; settings that cannot be read are not silently the defaults.
TEST_F(LoggingTest, WhatStartUpCouldNotUseIsLogged) {
  std::filesystem::create_directory(folder.Path() + "/teloria2.ini");
  AppSettings.Load();
  const std::string shared = folder.Path() + "/shared", foreign = folder.Path() + "/foreign";
  std::filesystem::create_directory(shared);
  std::filesystem::create_directory(foreign);
  std::filesystem::permissions(shared, std::filesystem::perms::all);
  // Only root can give a folder away; any other user finds / owned by root.
  const bool root = geteuid() == 0;
  ASSERT_EQ(root ? chown(foreign.c_str(), 65534, 65534) : 0, 0);
  for (const std::string& dir : {shared, root ? foreign : "/"}) {
    AppSettings.LogDir = dir;
    { const TLogSession session; }
    const std::string log = LogText("ksocti.20261207.log");
    EXPECT_NE(log.find("[warng] ログフォルダ " + dir + " は他のユーザーが所有しているか、" +
                       "他のユーザーも書き込めるため使用しません。既定のログフォルダ " +
                       folder.Path() + "/logs/ に記録します。"),
              std::string::npos);
    EXPECT_NE(log.find("[error] 設定ファイルを読み込めないため、既定の設定で動作します。File=[" +
                       folder.Path() + "/teloria2.ini] Is a directory"),
              std::string::npos);
  }
  EXPECT_TRUE(std::filesystem::is_empty(shared) && std::filesystem::is_empty(foreign));
}

TEST_F(LoggingTest, BadFormatRaisesToTheCaller) {
  EXPECT_ANY_THROW(LogFmt(llInfo, "%d", "text"));
}
