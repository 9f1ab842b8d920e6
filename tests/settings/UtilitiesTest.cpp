#include "base/Clock.h"
#include "platform/ProgramPaths.h"
#include "platform/SharedMemory.h"
#include "settings/DateText.h"
#include "settings/FileVersion.h"
#include "settings/PathUtils.h"
#include "settings/SharedValue.h"
#include "support/TempFolder.h"

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
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

// Only the user may make files in the runtime folder; /dev/shm is every user's.
TEST(SharedValue, BlockIsAPrivateFileOfTheRuntimeFolder) {
  const std::string name = "TELORIA2_MODE_" + std::to_string(getpid());
  const int handle = PublishSharedValue(1, name);
  ASSERT_NE(handle, 0);
  struct stat st {};
  ASSERT_EQ(stat((RuntimeFolder() + "/" + name).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  CloseSharedValue(handle);
}

// A block made behind our back: `size` bytes holding `value`, of `owner`.
void PlantBlock(const std::string& name, size_t size, uint32_t value, uid_t owner) {
  const int fd = open(TSharedMemory::PathOf(name).c_str(), O_RDWR | O_CREAT, 0666);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, static_cast<off_t>(size)), 0);
  ASSERT_EQ(pwrite(fd, &value, std::min<size_t>(size, 4), 0), std::min<ssize_t>(size, 4));
  if (owner != geteuid()) {
    ASSERT_EQ(fchown(fd, owner, owner), 0);
  }
  close(fd);
}

bool BlockExists(const std::string& name) {
  return access(TSharedMemory::PathOf(name).c_str(), F_OK) == 0;
}

TEST(SharedValue, OnlyOurOwnBlockOfTheRightSizeIsRead) {
  const std::string name = "TELORIA2_SIZE_" + std::to_string(getpid());
  for (const size_t size : {2, 8}) {
    PlantBlock(name, size, 77, geteuid());
    EXPECT_EQ(ReadSharedValue(name), 0u) << size;
    unlink(TSharedMemory::PathOf(name).c_str());
  }
  if (geteuid() != 0)
    GTEST_SKIP() << "needs root to make a block of another user";
  PlantBlock(name, 4, 77, 65534);
  EXPECT_EQ(ReadSharedValue(name), 0u);
  EXPECT_EQ(PublishSharedValue(1, name), 0); // and it is not removed either
  EXPECT_TRUE(BlockExists(name));
  unlink(TSharedMemory::PathOf(name).c_str());
}

TEST(SharedValue, BlockLeftByACrashIsReplacedAndRemovedOnClose) {
  const std::string name = "TELORIA2_STALE_" + std::to_string(getpid());
  PlantBlock(name, 4, 77, geteuid());
  const int handle = PublishSharedValue(5, name);
  ASSERT_NE(handle, 0);
  EXPECT_EQ(ReadSharedValue(name), 5u);
  CloseSharedValue(handle);
  EXPECT_FALSE(BlockExists(name));
}

TEST(FileVersion, OwnExecutableHasTheVersionOthersNone) {
  EXPECT_EQ(GetFileVersionText(ExecutablePath()), TELORIA_VERSION);
  EXPECT_EQ(GetFileVersionText("/bin/sh"), "");
  EXPECT_EQ(GetFileVersionText("/no/such/file"), "");
}
