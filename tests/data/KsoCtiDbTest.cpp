#include "data/KsoCtiDb.h"
#include "CallDatabaseFolder.h"
#include "base/Clock.h"

#include <fmt/printf.h>
#include <sys/stat.h>

namespace {

std::string CallDate(int second) {
  return fmt::sprintf("2026/01/01 %02d:%02d:%02d.000", second / 3600, second / 60 % 60,
                      second % 60);
}

std::unique_ptr<TTableRow> Entry(const std::string& number, const std::string& memo3 = "") {
  auto row = std::make_unique<TTableRow>();
  row->SetValue("phone_number", number);
  row->SetValue("owner_name", "owner " + number);
  row->SetValue("memo3", memo3);
  row->SetValue("created_date", "2026/01/01 00:00:00.000");
  row->SetValue("last_updated", "2026/01/01 00:00:00.000");
  return row;
}

class KsoCtiDbTest : public TCallDatabaseFolder {
protected:
  void AddCalls(int count, int firstSecond = 0) {
    CtiDb->BeginTransaction();
    for (int i = 0; i < count; ++i)
      CtiDb->AddIncoming("03" + std::to_string(i), CallDate(firstSecond + i));
    CtiDb->Commit();
  }
  int CallCount() { return static_cast<int>(CtiDb->GetIncomingList(-1)->Count()); }

  std::vector<std::string> SearchNumbers(const std::string& text) {
    std::vector<std::string> numbers;
    const auto rows = CtiDb->SearchPhoneNumbers(text);
    for (int i = 0; i < rows->Count(); ++i)
      numbers.push_back((*rows)[i].GetValue("phone_number"));
    std::sort(numbers.begin(), numbers.end());
    return numbers;
  }
};

using Numbers = std::vector<std::string>;

TEST_F(KsoCtiDbTest, TemplateCopyHappensOnceAndVersionIsReadable) {
  EXPECT_TRUE(DatabaseFileExists());
  EXPECT_FALSE(CreateDatabaseFromTemplate()); // the target exists
  const auto version = CtiDb->GetVersionInfo();
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(version->GetValue("version_no"), "5");
  EXPECT_FALSE(version->GetValue("note").empty());
  EXPECT_EQ(CtiDb->GetPhoneNumberCount(), 0);
}

// The call history is private: SQLite gives its -wal and -shm files the
// database file's mode.
TEST_F(KsoCtiDbTest, DatabaseAndItsJournalFilesArePrivate) {
  AddCalls(1);
  for (const char* suffix : {"", "-wal", "-shm"}) {
    struct stat st {};
    ASSERT_EQ(stat((CtiDbFileName() + suffix).c_str(), &st), 0) << suffix;
    EXPECT_EQ(st.st_mode & 07777, 0600u) << suffix;
  }
}

TEST_F(KsoCtiDbTest, MissingOrBrokenTemplateCreatesNothing) {
  CtiDb.reset();
  std::filesystem::remove(CtiDbFileName());
  InstallTemplate("not a database at all");
  EXPECT_FALSE(CreateDatabaseFromTemplate());
  InstallTemplate("");
  EXPECT_FALSE(CreateDatabaseFromTemplate());
  std::filesystem::remove(Path("teloria2.db3.init"));
  EXPECT_FALSE(CreateDatabaseFromTemplate());
  EXPECT_FALSE(DatabaseFileExists());
  // No temporary file is left behind either.
  EXPECT_TRUE(std::filesystem::is_empty(folder_));
}

TEST_F(KsoCtiDbTest, TwoCopiesAtOnceHaveOneWinner) {
  const std::string target = Path("race.db3");
  TPendingFile first(target);
  TPendingFile second(target);
  ASSERT_TRUE(first.Write("first") && second.Write("second"));
  EXPECT_TRUE(first.CreateNew());
  EXPECT_FALSE(second.CreateNew());
  EXPECT_EQ(ReadFile(target), "first");
}

TEST_F(KsoCtiDbTest, MissingDatabaseFileOpensEmptyAndFailsOnUse) {
  CtiDb.reset();
  std::filesystem::remove(CtiDbFileName());
  CreateCtiDb();
  try {
    CtiDb->GetVersionInfo();
    FAIL();
  } catch (const ESQLiteException& e) {
    EXPECT_EQ(e.Message(), "Error executing SQL.\rError [1]: SQL error or missing database.\r"
                           "\"SELECT * FROM version_info ORDER BY version_no DESC\": "
                           "no such table: version_info");
  }
}

TEST_F(KsoCtiDbTest, SqlQuoteAndQuotedValuesRoundTrip) {
  EXPECT_EQ(SqlQuote("O'Brien"), "'O''Brien'");
  EXPECT_EQ(SqlQuote(""), "''");
  EXPECT_EQ(SqlQuote("''"), "''''''");
  EXPECT_EQ(SqlQuote("a\"b%_\\"), "'a\"b%_\\'");
  auto row = Entry("03'12");
  row->SetValue("owner_name", "O'Brien'); DROP TABLE phone_numbers; --");
  CtiDb->InsertPhoneNumber(*row);
  const auto found = CtiDb->FindPhoneNumber("03'12");
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->GetValue("owner_name"), "O'Brien'); DROP TABLE phone_numbers; --");
  EXPECT_TRUE(CtiDb->PhoneNumberExists("03'12"));
  EXPECT_FALSE(CtiDb->PhoneNumberExists("0312"));
  EXPECT_EQ(CtiDb->FindPhoneNumber("'"), nullptr);
}

TEST_F(KsoCtiDbTest, NowDateTextUsesTheClock) {
  SetFixedNow(EncodeDateTime({2026, 3, 4, 5, 6, 7, 89}));
  EXPECT_EQ(NowDateText(), "2026/03/04 05:06:07.089");
  ClearFixedNow();
}

TEST_F(KsoCtiDbTest, PhoneBookInsertFindUpdateDelete) {
  TTableRow sparse;
  sparse.SetValue("PHONE_NUMBER", "0311");
  CtiDb->InsertPhoneNumber(sparse);
  auto found = CtiDb->FindPhoneNumber("0311");
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->GetValue("memo2"), ""); // stored as "", not NULL
  EXPECT_EQ(found->Count(), 9);
  CtiDb->UpdateLastIncomingDate("0311", "2026/02/02 00:00:00.000");
  EXPECT_EQ(CtiDb->FindPhoneNumber("0311")->GetValue("last_incoming_date"),
            "2026/02/02 00:00:00.000");
  EXPECT_THROW(CtiDb->InsertPhoneNumber(sparse), ESQLiteException); // keyed by number
  EXPECT_EQ(CtiDb->GetPhoneNumberCount(), 1);
  CtiDb->DeletePhoneNumber("0311");
  CtiDb->DeletePhoneNumber("0311"); // nothing to delete is no error
  EXPECT_EQ(CtiDb->GetPhoneNumberCount(), 0);
}

TEST_F(KsoCtiDbTest, PhoneNumbersNewestEditFirst) {
  for (const char* number : {"01", "02", "03"}) {
    auto row = Entry(number);
    row->SetValue("last_updated", std::string("2026/01/") + number + " 00:00:00.000");
    CtiDb->InsertPhoneNumber(*row);
  }
  const auto rows = CtiDb->GetPhoneNumbers();
  ASSERT_EQ(rows->Count(), 3);
  EXPECT_EQ((*rows)[0].GetValue("phone_number"), "03");
  EXPECT_EQ((*rows)[2].GetValue("phone_number"), "01");
  EXPECT_EQ(CtiDb->SearchPhoneNumbers("no such text")->Count(), 0);
}

TEST_F(KsoCtiDbTest, SearchEscapesPercentAndTab) {
  CtiDb->InsertPhoneNumber(*Entry("01", "50% off"));
  CtiDb->InsertPhoneNumber(*Entry("02", "500 off"));
  CtiDb->InsertPhoneNumber(*Entry("03", "aXb"));
  CtiDb->InsertPhoneNumber(*Entry("04", "a_b"));
  CtiDb->InsertPhoneNumber(*Entry("05", "x\ty"));
  CtiDb->InsertPhoneNumber(*Entry("06", "xy"));
  CtiDb->InsertPhoneNumber(*Entry("07", "it's"));
  EXPECT_EQ(SearchNumbers("50%"), Numbers({"01"}));
  EXPECT_EQ(SearchNumbers("a_b"), Numbers({"03", "04"}));
  EXPECT_EQ(SearchNumbers(" \t50% \r\n"), Numbers({"01"}));
  EXPECT_EQ(SearchNumbers("x\ty"), Numbers({"05"}));
  EXPECT_EQ(SearchNumbers("x\t%"), Numbers());
  EXPECT_EQ(SearchNumbers("IT'S"), Numbers({"07"})); // ASCII case-insensitive
  EXPECT_EQ(SearchNumbers("owner 06"), Numbers({"06"}));
  EXPECT_EQ(SearchNumbers("  ").size(), 7u);
}

TEST_F(KsoCtiDbTest, IncomingOrderStartsAtOneAndWraps) {
  EXPECT_EQ(CtiDb->GetNextIncomingOrder(), 1);
  EXPECT_EQ(CtiDb->AddIncoming("0311", CallDate(1)), 1);
  EXPECT_EQ(CtiDb->AddIncoming("0311", CallDate(2)), 2);
  CtiDb->SetIncomingAnswered(2, CallDate(2), 999999997);
  TSQLiteDatabase raw(CtiDbFileName());
  raw.Execute("UPDATE incoming_numbers SET incoming_order = 999999998 WHERE incoming_order = 2");
  EXPECT_EQ(CtiDb->GetNextIncomingOrder(), 999999999);
  raw.Execute("UPDATE incoming_numbers SET incoming_order = 999999999 WHERE incoming_order = 1");
  EXPECT_EQ(CtiDb->AddIncoming("0311", CallDate(3)), 1);
  raw.Execute("UPDATE incoming_numbers SET incoming_order = 'x' WHERE incoming_order = 999999999");
  try {
    CtiDb->GetNextIncomingOrder();
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "'x' は整数ではありません");
  }
}

TEST_F(KsoCtiDbTest, CallStatesAndOwnerNames) {
  CtiDb->InsertPhoneNumber(*Entry("0311"));
  const int answered = CtiDb->AddIncoming("0311", CallDate(1));
  const int missed = CtiDb->AddIncoming("P", CallDate(2));
  const int ringing = CtiDb->AddIncoming("0399", CallDate(3));
  CtiDb->SetIncomingAnswered(answered, CallDate(1), 12);
  CtiDb->SetIncomingHungUp(answered, CallDate(1), 345);
  CtiDb->SetIncomingNotAnswered(missed, CallDate(2));
  const auto rows = CtiDb->GetIncomingList(3000);
  ASSERT_EQ(rows->Count(), 3);
  const TTableRow& newest = (*rows)[0];
  EXPECT_EQ(newest.GetValue("incoming_order"), std::to_string(ringing));
  EXPECT_EQ(newest.GetValue("state"), "0");
  EXPECT_EQ(newest.GetValue("owner_name"), "");
  EXPECT_EQ((*rows)[1].GetValue("state"), "2");
  EXPECT_EQ((*rows)[1].GetValue("connected"), "0");
  const TTableRow& oldest = (*rows)[2];
  EXPECT_EQ(oldest.GetValue("OWNER_NAME"), "owner 0311");
  EXPECT_EQ(oldest.GetValue("state"), "2");
  EXPECT_EQ(oldest.GetValue("connected"), "1");
  EXPECT_EQ(oldest.GetValue("offhook_seconds"), "12");
  EXPECT_EQ(oldest.GetValue("onhook_seconds"), "345");
  CtiDb->DeleteIncoming(missed, CallDate(2));
  CtiDb->DeleteIncoming(missed, CallDate(9)); // another call's date: no match
  EXPECT_EQ(CallCount(), 2);
}

// The catch-up from the adapter's memory: this PC's calls around a date,
// oldest first, those deleted since among them, and the fingerprints of the records read, the
// newest kept.
TEST_F(KsoCtiDbTest, OwnCallsBetweenDatesAndMemoryRecordMarks) {
  AddCalls(5);
  CtiDb->DeleteIncoming(3, CallDate(2)); // kept aside, as state 3
  const auto rows = CtiDb->GetOwnIncomingBetween(CallDate(1), CallDate(3));
  ASSERT_EQ(rows->Count(), 3);
  EXPECT_EQ((*rows)[0].GetValue("incoming_date"), CallDate(1));
  EXPECT_EQ((*rows)[1].GetValue("phone_number"), "032");
  EXPECT_EQ((*rows)[1].GetValue("state"), "3");
  EXPECT_EQ((*rows)[1].GetValue("incoming_order"), "0");
  EXPECT_EQ((*rows)[2].GetValue("phone_number"), "033");
  EXPECT_EQ((*rows)[2].GetValue("state"), "0");
  for (const char* mark : {"a", "b", "a", "c", "d"})
    CtiDb->AddMemoryRecordMark(mark, 3);
  auto marks = CtiDb->GetMemoryRecordMarks();
  std::sort(marks.begin(), marks.end());
  EXPECT_EQ(marks, (std::vector<std::string>{"b", "c", "d"}));
}

TEST_F(KsoCtiDbTest, IncomingListIsLimitedToTheNewest) {
  AddCalls(3001);
  const auto rows = CtiDb->GetIncomingList(3000);
  ASSERT_EQ(rows->Count(), 3000);
  EXPECT_EQ((*rows)[0].GetValue("incoming_date"), CallDate(3000));
  EXPECT_EQ((*rows)[2999].GetValue("incoming_date"), CallDate(1));
}

TEST_F(KsoCtiDbTest, TrimKeepsTheNewestCalls) {
  AddCalls(2999);
  CtiDb->TrimIncoming(3000);
  EXPECT_EQ(CallCount(), 2999);
  AddCalls(1, 2999);
  CtiDb->TrimIncoming(3000);
  EXPECT_EQ(CallCount(), 3000);
  AddCalls(5, 3000);
  CtiDb->TrimIncoming(3000);
  const auto rows = CtiDb->GetIncomingList(-1);
  ASSERT_EQ(rows->Count(), 3000);
  EXPECT_EQ((*rows)[2999].GetValue("incoming_date"), CallDate(5));
  EXPECT_FALSE(CtiDb->InTransaction());
  CtiDb->TrimIncoming(-1); // selects every row: nothing deleted
  EXPECT_EQ(CallCount(), 3000);
  CtiDb->TrimIncoming(0); // keeps nothing
  EXPECT_EQ(CallCount(), 0);
}

TEST_F(KsoCtiDbTest, TrimThatFailsChangesNothing) {
  AddCalls(10);
  TSQLiteDatabase other(CtiDbFileName());
  other.Execute("BEGIN IMMEDIATE"); // another writer holds the lock
  CtiDb->SetBusyTimeout(0);
  try {
    CtiDb->TrimIncoming(5);
    FAIL();
  } catch (const ESQLiteException& e) {
    EXPECT_NE(e.Message().find("Error [5]"), std::string::npos) << e.Message();
  }
  EXPECT_FALSE(CtiDb->InTransaction());
  other.Execute("ROLLBACK");
  EXPECT_EQ(CallCount(), 10);
  CtiDb->TrimIncoming(5);
  EXPECT_EQ(CallCount(), 5);
}

TEST_F(KsoCtiDbTest, TrimInsideACallersTransactionIsRefused) {
  AddCalls(3);
  CtiDb->BeginTransaction();
  EXPECT_THROW(CtiDb->TrimIncoming(1), ESQLiteException);
  EXPECT_TRUE(CtiDb->InTransaction()); // the caller's transaction is untouched
  CtiDb->Commit();
  EXPECT_EQ(CallCount(), 3);
}

} // namespace
