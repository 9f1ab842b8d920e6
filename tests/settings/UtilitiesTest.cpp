#include "base/Clock.h"
#include "platform/ProgramPaths.h"
#include "platform/SharedMemory.h"
#include "settings/DateText.h"
#include "settings/FileVersion.h"
#include "settings/PathUtils.h"
#include "settings/SharedValue.h"
#include "support/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

TEST(PathJoin, OneSeparatorBetweenFolderAndName) {
  EXPECT_EQ(PathJoin("/opt/t2", "ring.wav"), "/opt/t2/ring.wav");
  EXPECT_EQ(PathJoin("/opt/t2/", "ring.wav"), "/opt/t2/ring.wav");
  EXPECT_EQ(PathJoin("", "ring.wav"), "ring.wav");
}

TEST(DateTimeFromTextDef, ReadsTheStoredFormIncludingMilliseconds) {
  const TDateTime t = EncodeDateTime({2026, 12, 7, 22, 41, 13, 52});
  EXPECT_DOUBLE_EQ(DateTimeFromTextDef("2026/12/07 22:41:13.052", -1), t);
  EXPECT_DOUBLE_EQ(DateTimeFromTextDef(FormatDateTime("yyyy/mm/dd hh:nn:ss.zzz", t), -1), t);
  EXPECT_DOUBLE_EQ(DateTimeFromTextDef(" 2026/12/07\t", -1), EncodeDate(2026, 12, 7));
  EXPECT_DOUBLE_EQ(DateTimeFromTextDef("2026/1/7 9:05", -1),
                   EncodeDateTime({2026, 1, 7, 9, 5, 0, 0}));
}

TEST(DateTimeFromTextDef, AnythingElseGivesTheDefault) {
  for (const char* text : {"", "   ", "abc", "2026/02/30", "2026/12/07 25:00", "2026/12/07x",
                           "2026-12-07", "2026/12/07 10:00:00.", "12/07", "2026/12/07 10"})
    EXPECT_DOUBLE_EQ(DateTimeFromTextDef(text, 42.0), 42.0) << text;
}

TEST(SharedValue, PublishedValueIsReadUntilClosed) {
  const std::string name = "TELORIA2_TEST_" + std::to_string(getpid());
  EXPECT_EQ(ReadSharedValue(name), 0u);
  const int handle = PublishSharedValue(0xCAFE1234, name);
  ASSERT_NE(handle, 0);
  for (int i = 0; i < 2000; ++i) // no descriptor or mapping is left behind
    ASSERT_EQ(ReadSharedValue(name), 0xCAFE1234u);
  CloseSharedValue(handle);
  EXPECT_EQ(ReadSharedValue(name), 0u);
}

TEST(SharedValue, BlockIsPrivateToTheUser) {
  const std::string name = "TELORIA2_MODE_" + std::to_string(getpid());
  const int handle = PublishSharedValue(1, name);
  ASSERT_NE(handle, 0);
  struct stat st {};
  ASSERT_EQ(stat(("/dev/shm" + TSharedMemory::SystemName(name)).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  CloseSharedValue(handle);
}

TEST(FileVersion, OwnExecutableHasTheVersionOthersNone) {
  EXPECT_EQ(GetFileVersionText(ExecutablePath()), TELORIA_VERSION);
  EXPECT_EQ(GetFileVersionText("/bin/sh"), "");
  EXPECT_EQ(GetFileVersionText("/no/such/file"), "");
}
