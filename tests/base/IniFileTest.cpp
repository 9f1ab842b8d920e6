#include "base/IniFile.h"
#include "base/CodePage.h"
#include "support/NonRootUser.h"
#include "support/TempFolder.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>

class IniFileTest : public ::testing::Test {
protected:
  TTempFolder folder;
  std::string path = folder.Path() + "/test.ini";
};

TEST_F(IniFileTest, MissingFileGivesDefaultsAndFirstWriteCreatesIt) {
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadString("Settings", "Key", "def"), "def");
  EXPECT_EQ(ini.ReadInteger("Settings", "Key", 5), 5);
  EXPECT_FALSE(ini.SectionExists("Settings"));
  ASSERT_TRUE(ini.WriteString("Settings", "Key", "値"));
  EXPECT_EQ(ReadFile(path), Utf8ToCp932("[Settings]\r\nKey=値\r\n"));
}

TEST_F(IniFileTest, SectionsAndKeysIgnoreCaseAndValuesAreTrimmed) {
  WriteFile(path, "[settings]\r\n  mirelkt5port =  /dev/ttyUSB0  \r\n");
  TIniFile ini(path);
  EXPECT_TRUE(ini.SectionExists("SETTINGS"));
  EXPECT_EQ(ini.ReadString("Settings", "MirelKT5Port", ""), "/dev/ttyUSB0");
}

TEST_F(IniFileTest, ByteOrderMarkLeftByAnEditorIsSkipped) {
  WriteFile(path, "\xEF\xBB\xBF[Settings]\r\nMirelKT5Port=TEST\r\n");
  TIniFile ini(path);
  EXPECT_TRUE(ini.SectionExists("Settings"));
  EXPECT_EQ(ini.ReadString("Settings", "MirelKT5Port", ""), "TEST");
}

TEST_F(IniFileTest, IntegersReadDecimalOrHexElseDefault) {
  WriteFile(path, "[S]\nA=12\nB=0x10\nC=abc\nD=\nE=0x\nF= -3 \n");
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadInteger("S", "A", 0), 12);
  EXPECT_EQ(ini.ReadInteger("S", "B", 0), 16);
  EXPECT_EQ(ini.ReadInteger("S", "C", 7), 7);
  EXPECT_EQ(ini.ReadInteger("S", "D", 7), 7);
  EXPECT_EQ(ini.ReadInteger("S", "E", 7), 7);
  EXPECT_EQ(ini.ReadInteger("S", "F", 7), -3);
}

TEST_F(IniFileTest, WriteKeepsCommentsOtherKeysAndSections) {
  WriteFile(path, "; hand-written\r\n[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n; note\r\n");
  TIniFile ini(path);
  ASSERT_TRUE(ini.WriteString("a", "X", "9"));
  ASSERT_TRUE(ini.WriteString("A", "z", "3"));
  ASSERT_TRUE(ini.WriteString("C", "w", "4"));
  EXPECT_EQ(ReadFile(path), "; hand-written\r\n[A]\r\nX=9\r\nz=3\r\n\r\n[B]\r\ny=2\r\n; note\r\n"
                            "[C]\r\nw=4\r\n");
}

TEST_F(IniFileTest, KeysOfOtherSectionsAreNotSeenAndTheFirstOfANameWins) {
  WriteFile(path, "[A]\nk=a\nK=later\n[B]\nk=b\n[a]\nk=late\nm=late\n");
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadString("B", "k", ""), "b");
  EXPECT_EQ(ini.ReadString("C", "k", "none"), "none");
  EXPECT_EQ(ini.ReadString("a", "K", ""), "a");
  EXPECT_EQ(ini.ReadString("A", "m", "none"), "none");
}

// A large hand-edited file is not read again for each key.
TEST_F(IniFileTest, TheFileIsReadOnceWhenOpened) {
  WriteFile(path, "[A]\nk=1\n");
  TIniFile ini(path);
  WriteFile(path, "[A]\nk=2\n");
  EXPECT_EQ(ini.ReadString("A", "k", ""), "1");
}

// Writing it would replace every key it holds by the one written.
TEST_F(IniFileTest, AFileThatCannotBeReadIsNeverReplaced) {
  WriteFile(path, "[Settings]\r\nPhoneLimit=50\r\n");
  ASSERT_EQ(chmod(path.c_str(), 0), 0);
  EXPECT_TRUE(AsNonRootUser(folder.Path(), [&] {
    TIniFile ini(path);
    return !ini.WriteString("Settings", "AutoRun", "1") && ini.LastError() == EACCES;
  }));
  ASSERT_EQ(chmod(path.c_str(), 0600), 0);
  EXPECT_EQ(ReadFile(path), "[Settings]\r\nPhoneLimit=50\r\n");
}

TEST_F(IniFileTest, CommentedKeyIsNotAKey) {
  WriteFile(path, "[A]\n;k=hidden\n");
  EXPECT_EQ(TIniFile(path).ReadString("A", "k", "def"), "def");
}

// The settings are private to the user; a mode the user chose stays.
TEST_F(IniFileTest, NewFileIsPrivateAndRewriteKeepsTheMode) {
  TIniFile ini(path);
  ASSERT_TRUE(ini.WriteString("A", "k", "1"));
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  for (const mode_t mode : {0644, 0640}) {
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
    ASSERT_TRUE(ini.WriteString("A", "k", "2"));
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, mode);
  }
}

TEST_F(IniFileTest, FailedWriteIsReportedAndLeavesNothing) {
  TIniFile ini(folder.Path() + "/missing/dir/test.ini");
  EXPECT_FALSE(ini.WriteString("A", "k", "v"));
}
