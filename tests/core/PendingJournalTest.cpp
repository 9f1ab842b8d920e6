#include "core/PendingJournal.h"
#include "base/Clock.h"
#include "base/CodePage.h"
#include "base/DateTime.h"
#include "settings/Logging.h"
#include "support/NonRootUser.h"
#include "support/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TPendingRecord Call(const std::string& number, const std::string& date = "2026/12/08 07:05:03.000",
                    uint8_t kind = 2, int seconds = 0) {
  return {kind, {date, number}, seconds};
}

std::string Line(const TPendingRecord& record) {
  return PendingRecordLine(record);
}

} // namespace

TEST(PendingRecord, FieldsRoundTripAndWhatTheAdapterCannotSendIsRefused) {
  const TPendingRecord answered = Call("03%1234", "2026/02/28 23:59:59.999", 3, 86400);
  const std::string bytes =
      Line(answered) + Line(Call("03\t12")) + Line(Call("03\r\x7F")) +
      Line(Call("0312345678", "\x1B[31mevil\a")) + Line(Call("", "2026/12/08 07:05:03.000")) +
      Line(Call("0312345678", "")) + Line(Call("0312345678", "9999/99/99 99:99:99.999")) +
      Line(Call("0312345678", "2026/02/29 10:00:00.000")) + Line(Call(std::string(5000, '1'))) +
      Line(Call("0312345678", "2026/12/08 07:05:03.000", 4, -99999)) +
      Line(Call("0312345678", "2026/12/08 07:05:03.000", 4, 2147483647)) +
      Line(Call("0312345678", "2026/12/08 07:05:03.000", 2, 5)) + "call\t%G0\tx\t0\n" +
      Line(Call("P", "2026/12/08 07:05:04.000", 5));
  const TPendingContent content = ParsePendingContent(bytes);
  ASSERT_EQ(content.Records.size(), 2u);
  EXPECT_EQ(content.Records[0].Call.Number, "03%1234");
  EXPECT_EQ(content.Records[0].Call.Date, answered.Call.Date);
  EXPECT_EQ(content.Records[0].Seconds, 86400);
  EXPECT_EQ(content.Records[1].Kind, 5);
  std::vector<int> refused;
  for (const auto& line : content.Refused)
    refused.push_back(line.Line);
  EXPECT_EQ(refused, (std::vector<int>{2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
  // Each line stays one line, whatever its fields held, and is logged escaped.
  EXPECT_EQ(content.Refused[1].Text, "call%092026/12/08 07:05:03.000%0903%0D%7F%090");
  EXPECT_FALSE(content.CutShort);
}

class PendingJournalTest : public ::testing::Test {
protected:
  PendingJournalTest() {
    MainLogger.SetLogDir(folder.Path() + "/logs");
    MainLogger.SetLevels(AllLogLevels);
  }
  ~PendingJournalTest() override { MainLogger.Close(); }
  std::string Log() const {
    return Cp932ToUtf8(
        ReadFile(folder.Path() + "/logs/ksocti." + FormatDateTime("yyyymmdd", Now()) + ".log"));
  }
  std::vector<std::string> Numbers() {
    std::vector<std::string> numbers;
    for (const TPendingRecord& record : TPendingJournal().Open())
      numbers.push_back(record.Call.Number);
    return numbers;
  }
  std::vector<std::string> Aside() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
      if (entry.path().filename().string().rfind("teloria2.pending.refused-", 0) == 0)
        names.push_back(ReadFile(entry.path().string()));
    return names;
  }

  TTempFolder folder;
  TProgramHome home{folder.Path()};
  std::string path = folder.Path() + "/teloria2.pending";
};

TEST_F(PendingJournalTest, KeepsItsRoomAndACutLineSpoilsNoLaterRecord) {
  {
    TPendingJournal journal;
    EXPECT_TRUE(journal.Open().empty());
    EXPECT_EQ(std::filesystem::file_size(path), TPendingJournal::ReserveBytes);
    EXPECT_EQ(std::filesystem::status(path).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    ASSERT_TRUE(journal.Append(Call("0311111111")));
  }
  // A crash cut the next append short; the next run appends after it.
  {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>(Line(Call("0311111111")).size()));
    file << "hungup\t2026/12";
  }
  {
    TPendingJournal journal;
    EXPECT_EQ(journal.Open().size(), 1u);
    ASSERT_TRUE(journal.Append(Call("0322222222")));
  }
  EXPECT_EQ(Numbers(), (std::vector<std::string>{"0311111111", "0322222222"}));
  EXPECT_NE(Log().find("[warng] 保留していた書き込みの途中で切れた行を無視します。"),
            std::string::npos)
      << Log();
  // Cleared, it keeps its room and holds nothing.
  TPendingJournal journal;
  journal.Open();
  journal.Clear();
  EXPECT_EQ(std::filesystem::file_size(path), TPendingJournal::ReserveBytes);
  EXPECT_TRUE(Numbers().empty());
}

// Anyone else who could write the file could plant calls in the history.
TEST_F(PendingJournalTest, AFileNotOursAloneIsMovedAsideUnread) {
  const std::string planted = Line(Call("0399999999"));
  const auto plant = [&](mode_t mode) {
    WriteFile(path, planted);
    ::chmod(path.c_str(), mode);
  };
  plant(0666);
  EXPECT_TRUE(Numbers().empty());
  ::unlink(path.c_str());
  WriteFile(folder.Path() + "/elsewhere", planted);
  ASSERT_EQ(::symlink((folder.Path() + "/elsewhere").c_str(), path.c_str()), 0);
  EXPECT_TRUE(Numbers().empty());
  if (::geteuid() == 0) { // only root can give a file away
    plant(0600);
    ASSERT_EQ(::lchown(path.c_str(), 65534, 65534), 0);
    EXPECT_TRUE(Numbers().empty());
  }
  // Each kept aside for the user, and a journal of our own made instead.
  EXPECT_EQ(Aside().size(), ::geteuid() == 0 ? 3u : 2u);
  EXPECT_NE(Log().find("保留していた書き込みのファイルを読み込まずに"), std::string::npos);
  EXPECT_EQ(std::filesystem::file_size(path), TPendingJournal::ReserveBytes);
}

TEST_F(PendingJournalTest, AFileThatCannotBeReadIsKeptForTheNextStart) {
  const std::string kept = Line(Call("0311111111"));
  WriteFile(path, kept);
  ::chmod(path.c_str(), 0);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chown((folder.Path() + "/logs").c_str(), 65534, 65534), 0);
  }
  EXPECT_TRUE(AsNonRootUser(folder.Path(), [&] {
    TPendingJournal journal;
    return journal.Open().empty() && !journal.Append(Call("0322222222"));
  }));
  ::chmod(path.c_str(), 0600);
  EXPECT_EQ(ReadFile(path), kept);
  EXPECT_NE(Log().find("[error] 保留していた書き込みのファイルを読み込めません。"),
            std::string::npos);
}
