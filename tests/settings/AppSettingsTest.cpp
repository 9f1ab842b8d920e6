#include "settings/AppSettings.h"
#include "base/CodePage.h"
#include "support/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

class AppSettingsTest : public ::testing::Test {
protected:
  TTempFolder folder;
  TProgramHome home{folder.Path()};
  std::string ini = folder.Path() + "/teloria2.ini";
};

TEST_F(AppSettingsTest, NoFileGivesEveryDefault) {
  TAppSettings s;
  s.MirelKT5Port = "junk";
  s.Load();
  EXPECT_EQ(s.MirelKT5Port, "");
  EXPECT_EQ(s.DispSize, 0);
  EXPECT_EQ(s.Memo1Caption, "メモ1");
  EXPECT_EQ(s.Memo3Caption, "メモ3");
  EXPECT_EQ(s.IncomingDisplayMode, 1);
  EXPECT_TRUE(s.ExecCmdEnabled);
  EXPECT_FALSE(s.ShowIncomingPreview);
  EXPECT_TRUE(s.UseDefaultSound);
  EXPECT_EQ(s.PhoneLimit, 10000);
  EXPECT_EQ(s.IncomingLimit, 3000);
  EXPECT_EQ(s.LogDir, "logs");
  EXPECT_EQ(s.LogLevel, 2);
  EXPECT_EQ(s.LogExpire, 7);
  EXPECT_FALSE(s.LogPortScan);
  EXPECT_EQ(s.Share.Mode, 0);
  EXPECT_EQ(s.Share.Host, "localhost");
  EXPECT_EQ(s.Share.Port, 1883);
  EXPECT_EQ(s.Share.Topic, "teloria2/office");
  EXPECT_FALSE(s.Share.HomeAssistant);
  EXPECT_FALSE(s.Share.BookStation); // left out, unlike empty below
}

TEST_F(AppSettingsTest, BooleansAreTrueOnlyForOneAndNumbersMayBeHex) {
  WriteFile(ini,
            Utf8ToCp932("[Settings]\r\nExecCmdEnabled=2\r\nUseDefaultSound=abc\r\n"
                        "AutoRun=1\r\nMemoryCatchUp=2\r\nIncomingLimit=0x10\r\nPhoneLimit=x\r\n"
                        "Memo1Caption=  氏名  \r\n[Settings.Logging]\r\nLogPortScan=1\r\n"
                        "LogDir=/var/tmp/t2\r\n[Settings.Share]\r\nBookStation=\r\n"));
  TAppSettings s;
  s.Load();
  EXPECT_EQ(s.Share.BookStation, std::optional<std::string>(""));
  EXPECT_FALSE(s.ExecCmdEnabled);
  EXPECT_TRUE(s.UseDefaultSound);
  EXPECT_TRUE(s.AutoRun);
  EXPECT_FALSE(s.MemoryCatchUp);
  EXPECT_EQ(s.IncomingLimit, 16);
  EXPECT_EQ(s.PhoneLimit, 10000);
  EXPECT_EQ(s.Memo1Caption, "氏名");
  EXPECT_TRUE(s.LogPortScan);
  EXPECT_EQ(s.LogDir, "/var/tmp/t2");
}

TEST_F(AppSettingsTest, SaveWritesTheUserKeysInOrderAndCreatesTheFile) {
  TAppSettings s;
  s.MirelKT5Port = "TEST";
  s.Memo2Caption = "会社";
  s.PlayPreviewSound = true;
  s.Share.Mode = 1;
  s.Share.Password = "秘密 pw";
  s.Share.HomeAssistant = true;
  s.Save();
  EXPECT_EQ(ReadFile(ini),
            Utf8ToCp932("[Settings]\r\nMirelKT5Port=TEST\r\nDispSize=0\r\nMemo1Caption=メモ1\r\n"
                        "Memo2Caption=会社\r\nMemo3Caption=メモ3\r\nIncomingDisplayMode=1\r\n"
                        "ExecCmdEnabled=1\r\nShowIncomingPreview=0\r\nPlayPreviewSound=1\r\n"
                        "UseDefaultSound=1\r\nSoundFileName=\r\nSetAutoDateTime=0\r\n"
                        "ExecHour=\r\nExecMinute=\r\nAutoRun=0\r\nMemoryCatchUp=1\r\n"
                        "[Settings.Share]\r\nMode=1\r\nHost=localhost\r\nPort=1883\r\n"
                        "User=\r\nPassword=秘密 pw\r\nCaFile=\r\nTopic=teloria2/office\r\n"
                        "HomeAssistant=1\r\n"));
  TAppSettings again;
  again.Load();
  EXPECT_EQ(again.Share, s.Share);
}

TEST_F(AppSettingsTest, SaveKeepsHandSetKeys) {
  WriteFile(ini, "[Settings]\r\nPhoneLimit=50\r\nIncomingLimit=20\r\nDispSize=2\r\n"
                 "[Settings.Logging]\r\nLogLevel=3\r\n");
  TAppSettings s;
  s.Load();
  s.DispSize = 1;
  s.Save();
  TAppSettings again;
  again.Load();
  EXPECT_EQ(again.DispSize, 1);
  EXPECT_EQ(again.PhoneLimit, 50);
  EXPECT_EQ(again.IncomingLimit, 20);
  EXPECT_EQ(again.LogLevel, 3);
}

TEST_F(AppSettingsTest, AssignCopiesOnlyTheSavedFields) {
  TAppSettings source;
  source.MirelKT5Port = "COM3";
  source.AutoRun = true;
  source.MemoryCatchUp = false;
  source.ExecMinute = "30";
  source.Share.Mode = 2;
  source.Share.Host = "broker.office";
  source.PhoneLimit = 1;
  source.LogLevel = 0;
  TAppSettings target;
  target.Assign(source);
  EXPECT_EQ(target.MirelKT5Port, "COM3");
  EXPECT_TRUE(target.AutoRun);
  EXPECT_FALSE(target.MemoryCatchUp);
  EXPECT_EQ(target.ExecMinute, "30");
  EXPECT_EQ(target.Share, source.Share);
  EXPECT_EQ(target.PhoneLimit, 10000);
  EXPECT_EQ(target.LogLevel, 2);
}

TEST_F(AppSettingsTest, FailedSaveNamesTheFileAndLeavesNoTemporaryFile) {
  // A folder in the file's place cannot be replaced, even by root.
  std::filesystem::create_directory(ini);
  try {
    TAppSettings().Save();
    FAIL() << "no error";
  } catch (const EAppSettingsError& e) {
    EXPECT_EQ(e.Message(), ini + " に書き込めません");
  }
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.Path()))
    ++entries;
  EXPECT_EQ(entries, 1);
}

TEST_F(AppSettingsTest, SaveIntoAMissingFolderNamesTheFile) {
  TProgramHome gone(folder.Path() + "/gone");
  try {
    TAppSettings().Save();
    FAIL() << "no error";
  } catch (const EAppSettingsError& e) {
    EXPECT_EQ(e.Message(), folder.Path() + "/gone/teloria2.ini に書き込めません");
  }
}

TEST_F(AppSettingsTest, SavingABrokerPasswordMakesAFileOthersCouldReadPrivate) {
  WriteFile(ini, "[Settings]\r\n");
  ::chmod(ini.c_str(), 0644);
  TAppSettings s;
  s.Save();
  EXPECT_TRUE(SettingsFileReadableByOthers()); // nothing secret: the user's mode stays
  s.Share.Password = "pw";
  s.Save();
  struct stat st {};
  ASSERT_EQ(::stat(ini.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_FALSE(SettingsFileReadableByOthers());
}
