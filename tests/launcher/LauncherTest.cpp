#include "support/RunProgram.h"
#include "support/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

// The launcher lies in a folder of its own with a fake teloria2 that records
// how it was started.
class LauncherTest : public ::testing::Test {
protected:
  void SetUp() override {
    unsetenv("TELORIA2_HOME");
    fs::copy_file(BinFolder() + "/teloria2-launcher", launcher);
    WriteFile(
        folder.Path() + "/teloria2",
        "#!/bin/sh\nprintf '%s|%s|%s\\n' \"$#\" \"$*\" \"$PWD\" >> \"$(dirname \"$0\")/record\"\n");
    fs::permissions(folder.Path() + "/teloria2", fs::perms::owner_all);
  }
  void Ini(const std::string& text) { WriteFile(folder.Path() + "/teloria2.ini", text); }
  // The user's own data folder never takes part unless a test sets one.
  int Launch(const std::vector<std::string>& env = {}) {
    std::vector<std::string> all{"XDG_DATA_HOME=" + elsewhere.Path() + "/no-data"};
    all.insert(all.end(), env.begin(), env.end());
    return RunAndWait(launcher, {}, elsewhere.Path(), all);
  }
  std::string Record() { return ReadFile(folder.Path() + "/record"); }
  // Nothing can be awaited for a start that must not happen: give a started
  // program ample time to have written its record.
  bool NothingStarted() {
    return !WaitFor([&] { return fs::exists(folder.Path() + "/record"); },
                    std::chrono::milliseconds(300));
  }

  TTempFolder folder;
  TTempFolder elsewhere;
  std::string launcher = folder.Path() + "/teloria2-launcher";
};

TEST_F(LauncherTest, AutoRunOneStartsTheProgramOnceBesideTheLauncher) {
  Ini("[Settings]\r\nAutoRun=1\r\n");
  EXPECT_EQ(Launch(), 0);
  ASSERT_TRUE(WaitFor([&] { return !Record().empty(); }));
  EXPECT_EQ(Record(), "1|-autorun|" + folder.Path() + "\n");
}

TEST_F(LauncherTest, ProgramHomeVariableChoosesTheSettingsFile) {
  TTempFolder home;
  WriteFile(home.Path() + "/teloria2.ini", "[settings]\nautorun = 0x1\n");
  EXPECT_EQ(Launch({"TELORIA2_HOME=" + home.Path()}), 0);
  ASSERT_TRUE(WaitFor([&] { return !Record().empty(); }));
  EXPECT_EQ(Record(), "1|-autorun|" + folder.Path() + "\n");
}

TEST_F(LauncherTest, WithoutIniBesideItTheUserDataFolderIsReadAndNothingCreated) {
  TTempFolder data;
  const std::string env = "XDG_DATA_HOME=" + data.Path();
  EXPECT_EQ(Launch({env}), 0);
  EXPECT_TRUE(NothingStarted());
  EXPECT_FALSE(fs::exists(data.Path() + "/teloria2"));
  fs::create_directory(data.Path() + "/teloria2");
  WriteFile(data.Path() + "/teloria2/teloria2.ini", "[Settings]\r\nAutoRun=1\r\n");
  EXPECT_EQ(Launch({env}), 0);
  ASSERT_TRUE(WaitFor([&] { return !Record().empty(); }));
  EXPECT_EQ(Record(), "1|-autorun|" + folder.Path() + "\n");
}

TEST_F(LauncherTest, OtherValuesStartNothing) {
  for (const char* ini :
       {"[Settings]\nAutoRun=0\n", "[Settings]\nAutoRun=2\n", "[Settings]\nAutoRun=\n",
        "[Settings]\nAutoRun=yes\n", "[Other]\nAutoRun=1\n"}) {
    Ini(ini);
    EXPECT_EQ(Launch(), 0) << ini;
  }
  fs::remove(folder.Path() + "/teloria2.ini");
  ASSERT_EQ(mkfifo((folder.Path() + "/teloria2.ini").c_str(), 0600), 0); // stalls nothing
  EXPECT_EQ(Launch({"TELORIA2_HOME=" + folder.Path()}), 0);
  EXPECT_TRUE(NothingStarted());
}

TEST_F(LauncherTest, NoSettingsFileStartsNothingAndWritesNothing) {
  EXPECT_EQ(Launch(), 0);
  EXPECT_TRUE(NothingStarted());
  EXPECT_TRUE(fs::is_empty(elsewhere.Path()));
  EXPECT_FALSE(fs::exists(folder.Path() + "/teloria2.ini"));
}

TEST_F(LauncherTest, MissingProgramStillEndsWithZero) {
  fs::remove(folder.Path() + "/teloria2");
  Ini("[Settings]\nAutoRun=1\n");
  EXPECT_EQ(Launch(), 0);
}
