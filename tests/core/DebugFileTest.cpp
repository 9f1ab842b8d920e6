#include "core/DebugFile.h"
#include "support/TempFolder.h"

#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>

using Fields = std::vector<std::string>;

TEST(SplitCommaText, CommasAndBlanksSeparate) {
  EXPECT_EQ(SplitCommaText("1,0312345678"), (Fields{"1", "0312345678"}));
  EXPECT_EQ(SplitCommaText("  2 0312345678  "), (Fields{"2", "0312345678"}));
  EXPECT_EQ(SplitCommaText("3,  045\t,x"), (Fields{"3", "045", "x"}));
  EXPECT_EQ(SplitCommaText("a,,b"), (Fields{"a", "", "b"}));
  EXPECT_EQ(SplitCommaText("a,"), (Fields{"a", ""}));
  EXPECT_EQ(SplitCommaText(""), Fields{});
}

TEST(SplitCommaText, QuotedFieldsKeepBlanksAndDoubledQuotes) {
  EXPECT_EQ(SplitCommaText("\"k 1\",\"03 \"\"x\"\"\""), (Fields{"k 1", "03 \"x\""}));
  EXPECT_EQ(SplitCommaText("\"open"), (Fields{"open"}));
  EXPECT_EQ(SplitCommaText("\"a\"b"), (Fields{"a", "b"}));
}

class ReadDebugFileTest : public ::testing::Test {
protected:
  TTempFolder folder;
  TProgramHome home{folder.Path()};
  std::string path = folder.Path() + "/debug.txt";
};

TEST_F(ReadDebugFileTest, FirstLineGivesKeyAndNumber) {
  WriteFile(path, "7, 0312345678 ,ignored\r\n8,0999\r\n");
  const TDebugLine line = ReadDebugFile();
  EXPECT_EQ(line.Key, "7");
  EXPECT_EQ(line.Number, "0312345678");
}

TEST_F(ReadDebugFileTest, MissingFileOrOneFieldGivesNothing) {
  EXPECT_EQ(ReadDebugFile().Key, "");
  WriteFile(path, "onlykey\r\n0312345678,x\r\n");
  EXPECT_EQ(ReadDebugFile().Key, "");
  EXPECT_EQ(ReadDebugFile().Number, "");
}

TEST_F(ReadDebugFileTest, BinaryOrHugeFilesAreReadSafely) {
  WriteFile(path, std::string("\x01\x02\0\xFF,9", 7) + std::string(1 << 20, 'x'));
  const TDebugLine line = ReadDebugFile();
  EXPECT_TRUE(line.Key.size() < 5000);
  WriteFile(path, std::string(100000, 'k') + ",0312345678\n");
  EXPECT_EQ(ReadDebugFile().Number, "");
}

TEST_F(ReadDebugFileTest, Cp932TextIsReadAsUtf8) {
  WriteFile(path, "\x82\xA0,0312\r\n"); // "あ" in CP932
  EXPECT_EQ(ReadDebugFile().Key, "あ");
}

TEST_F(ReadDebugFileTest, OnlyARegularFileIsRead) {
  // A FIFO would block the reader until someone writes to it.
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  auto read = std::async(std::launch::async, [] { return ReadDebugFile(); });
  if (read.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    ADD_FAILURE() << "reading a FIFO blocked";
    close(open(path.c_str(), O_WRONLY)); // release the reader
  }
  EXPECT_EQ(read.get().Key, "");
  std::filesystem::remove(path);
  std::filesystem::create_directory(path);
  EXPECT_EQ(ReadDebugFile().Key, "");
}
