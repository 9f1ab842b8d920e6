#include "data/PhoneBook.h"
#include "CallDatabaseFolder.h"
#include "base/BookEntryRules.h"
#include "base/CodePage.h"
#include "data/SQLiteDatabase.h"
#include "support/PhoneBookEntry.h"

#include <fmt/printf.h>

namespace {

const char* const Now = "2026/12/07 10:20:30.400";

class PhoneBookTest : public TFixedClockDatabaseFolder {
protected:
  static std::string Number(int i) { return fmt::sprintf("03%08d", i); }
  // Entries 1..count, entry i created and updated at minute i.
  static void AddEntries(int count) {
    for (int i = 1; i <= count; ++i)
      AddPhoneBookEntry(Number(i), "名前" + std::to_string(i),
                        fmt::sprintf("2026/01/01 09:%02d:00.000", i));
  }
  TImportResult Import(const std::string& text, int limit = 10000) {
    WriteFile(Path("in.csv"), Utf8ToCp932(text));
    return PhoneBook().ImportFile(Path("in.csv"), limit);
  }
  static std::string Repeat(const std::string& text, int times) {
    std::string repeated;
    for (int i = 0; i < times; ++i)
      repeated += text;
    return repeated;
  }
  static std::string Value(const std::string& number, const char* column) {
    const auto entry = PhoneBook().Find(number);
    return entry ? entry->GetValue(column) : "(none)";
  }
};

TEST_F(PhoneBookTest, SearchFindsTheTextItselfOrTheWholeBook) {
  AddEntries(5);
  AddPhoneBookEntry("0350%_'\tx", "O'Brien");
  const auto book = PhoneBook().Search("");
  ASSERT_EQ(book->Count(), 6);
  EXPECT_EQ((*book)[0].GetValue("phone_number"), Number(5)); // newest edit first
  for (const auto& [text, count] : std::vector<std::pair<const char*, int>>{{"名前3", 1},
                                                                            {"%", 1},
                                                                            {"_", 1},
                                                                            {"0_", 0},
                                                                            {"o'b", 1},
                                                                            {"'\tx", 1},
                                                                            {" \t", 6},
                                                                            {"zz", 0}})
    EXPECT_EQ(PhoneBook().Search(text)->Count(), count) << text;
  EXPECT_EQ((*PhoneBook().Search(" 名前 "))[0].GetValue("phone_number"), Number(5));
}

TEST_F(PhoneBookTest, AnEntryMatchesAFilterInItsSixTextsCaseAndAll) {
  TTableRow entry;
  entry.SetValue("phone_number", "0312");
  entry.SetValue("owner_name", "Abc");
  entry.SetValue("exec_cmd", "x名前");
  entry.SetValue("created_date", "2026/01/01");
  for (const char* hit : {"", "0312", "Abc", "名前"})
    EXPECT_TRUE(TPhoneBook::Matches(entry, hit)) << hit;
  for (const char* miss : {"abc", "2026", "0313"})
    EXPECT_FALSE(TPhoneBook::Matches(entry, miss)) << miss;
}

TEST_F(PhoneBookTest, SavingKeepsTheStoredDatesAndTellsTheListeners) {
  std::vector<std::string> told;
  const TListening listening = PhoneBook().Listen([&](const TPhoneBookChange& change) {
    told.push_back(change.Entry->GetValue("phone_number") + " " +
                   change.Entry->GetValue("created_date"));
  });
  TTableRow fresh;
  fresh.SetValue("phone_number", "0312345678");
  PhoneBook().Save(fresh);
  EXPECT_EQ(Value("0312345678", "created_date"), Now);
  EXPECT_EQ(Value("0312345678", "last_updated"), Now);
  EXPECT_EQ(Value("0312345678", "last_incoming_date"), "");

  AddPhoneBookEntry("0311112222", "old", "2020/01/01 00:00:00.000", "2025/05/05 05:05:05.000");
  TTableRow edited;
  edited.SetValue("phone_number", "0311112222");
  edited.SetValue("owner_name", "new");
  PhoneBook().Save(edited);
  EXPECT_EQ(Value("0311112222", "owner_name"), "new");
  EXPECT_EQ(Value("0311112222", "created_date"), "2020/01/01 00:00:00.000");
  EXPECT_EQ(Value("0311112222", "last_incoming_date"), "2025/05/05 05:05:05.000");
  EXPECT_EQ(Value("0311112222", "last_updated"), Now);
  EXPECT_EQ(PhoneBook().Count(), 2);
  EXPECT_EQ(told, (std::vector<std::string>{"0312345678 " + std::string(Now),
                                            "0311112222 2020/01/01 00:00:00.000"}));
}

TEST_F(PhoneBookTest, AFullBookTakesNoNewNumberButChangesOfStoredOnes) {
  AddPhoneBookEntry("01");
  AddPhoneBookEntry("02");
  EXPECT_TRUE(PhoneBook().IsFull(2));
  EXPECT_FALSE(PhoneBook().IsFull(3));
  EXPECT_FALSE(PhoneBook().HasRoomFor("03", 2));
  EXPECT_TRUE(PhoneBook().HasRoomFor("02", 2));
  EXPECT_TRUE(PhoneBook().HasRoomFor("03", 3));
}

TEST_F(PhoneBookTest, ImportStoresValidRecordsAsSavingDoes) {
  AddPhoneBookEntry("0300000001", "old", "2020/01/01 00:00:00.000", "2025/01/01 00:00:00.000");
  std::string file;
  for (int i = 1; i <= 8; ++i)
    file +=
        fmt::sprintf("(03)0000-000%d,名前%d,\"m1\r\nx\",m2,m3,cmd,2026/01/01 00:00:00\r\n", i, i);
  file += "03abc,x\r\n０３電話,y\r\n";
  // Beyond the entry's limits: counted, never stored.
  file += "012345678901234567890,x\r\n05," + std::string(1001, 'x') + "\r\n";
  const TImportResult result = Import(file);
  EXPECT_EQ(result.Records, 12);
  EXPECT_FALSE(result.LimitHit);
  EXPECT_TRUE(result.InvalidSeen);
  EXPECT_EQ(result.Refused, 2);
  EXPECT_EQ(result.FirstRefusal, "電話番号が 20 文字を超えています");
  EXPECT_EQ(PhoneBook().Count(), 8);
  EXPECT_EQ(Value("0300000001", "owner_name"), "名前1");
  EXPECT_EQ(Value("0300000001", "memo1"), "m1\r\nx");
  EXPECT_EQ(Value("0300000001", "exec_cmd"), "cmd");
  EXPECT_EQ(Value("0300000001", "created_date"), "2020/01/01 00:00:00.000");
  EXPECT_EQ(Value("0300000001", "last_incoming_date"), "2025/01/01 00:00:00.000");
  EXPECT_EQ(Value("0300000001", "last_updated"), Now);
  EXPECT_EQ(Value("0300000002", "created_date"), Now);
  // Of two records of one number, the last wins.
  Import("04,first\r\n04,second\r\n");
  EXPECT_EQ(Value("04", "owner_name"), "second");
}

TEST_F(PhoneBookTest, ImportIntoAFullBookStillUpdatesStoredNumbers) {
  AddPhoneBookEntry("01", "a");
  AddPhoneBookEntry("02", "b");
  const TImportResult result = Import("01,A\r\n03,C\r\n02,B\r\nxx\r\n", 2);
  EXPECT_EQ(result.Records, 4);
  EXPECT_TRUE(result.LimitHit);
  EXPECT_TRUE(result.InvalidSeen);
  EXPECT_EQ(Value("01", "owner_name"), "A");
  EXPECT_EQ(Value("02", "owner_name"), "B");
  EXPECT_EQ(Value("03", "owner_name"), "(none)");
}

TEST_F(PhoneBookTest, AFailedImportStoresNothing) {
  AddPhoneBookEntry("01", "a");
  for (const std::string& bytes :
       {"02,b\r\n03" + std::string(256, ',') + "\r\n",
        "02,b\r\n03," + std::string(4096, 'x') + "\r\n", std::string("04,x\r\n05,\"open\r\n")}) {
    EXPECT_THROW(Import(bytes), Exception);
    EXPECT_EQ(PhoneBook().Count(), 1);
    EXPECT_FALSE(CtiDb->InTransaction());
  }
  EXPECT_THROW(PhoneBook().ImportFile(Path("gone.csv"), 10000), Exception);
  // A write refused in the middle takes back what the file stored before it.
  TSQLiteDatabase other(CtiDbFileName());
  other.Execute("CREATE TRIGGER refuse BEFORE INSERT ON phone_numbers WHEN NEW.phone_number = '03'"
                " BEGIN SELECT RAISE(ABORT, 'refused'); END");
  EXPECT_THROW(Import("02,b\r\n03,c\r\n"), ESQLiteException);
  EXPECT_EQ(PhoneBook().Count(), 1);
  EXPECT_FALSE(CtiDb->InTransaction());
}

TEST_F(PhoneBookTest, DeletingIsAllOrNothingAndTellsTheListeners) {
  AddEntries(5);
  std::vector<std::string> told;
  {
    const TListening listening =
        PhoneBook().Listen([&](const TPhoneBookChange& change) { told = change.Numbers; });
    PhoneBook().Delete({Number(2), Number(3)});
    EXPECT_EQ(told, (std::vector<std::string>{Number(2), Number(3)}));
    EXPECT_EQ(PhoneBook().Count(), 3);
    told.clear();
    TSQLiteDatabase other(CtiDbFileName());
    other.Execute("BEGIN IMMEDIATE"); // another writer holds the lock
    CtiDb->SetBusyTimeout(0);
    EXPECT_THROW(PhoneBook().Delete({Number(4), Number(5)}), ESQLiteException);
    other.Execute("ROLLBACK");
    EXPECT_TRUE(told.empty());
    EXPECT_EQ(PhoneBook().Count(), 3);
    EXPECT_FALSE(CtiDb->InTransaction());
  }
  PhoneBook().Delete({Number(1)}); // the listener has left
  EXPECT_TRUE(told.empty());
}

} // namespace

namespace {

TEST_F(PhoneBookTest, EveryEditReachesTheHookInsideItsTransaction) {
  std::vector<TBookEdit> edits;
  bool refuse = false;
  PhoneBook().SetEditHook([&](const TBookEdit& edit) {
    edits.push_back(edit);
    if (refuse)
      throw Exception("refused");
  });
  TTableRow entry;
  entry.SetValue("phone_number", Number(1));
  PhoneBook().Save(entry);
  entry.SetValue("phone_number", Number(2));
  PhoneBook().Register(entry);
  Import(Number(3) + ",名前\r\nx\r\n");
  PhoneBook().Delete({Number(1)});
  ASSERT_EQ(edits.size(), 4u);
  EXPECT_EQ(edits[1].Kind, TBookEdit::TKind::Register);
  EXPECT_EQ(edits[2].Entries.at(0).GetValue("owner_name"), "名前");
  EXPECT_EQ(edits[3].Numbers, std::vector<std::string>{Number(1)});
  // An import or a delete too large for one edit reaches it in several.
  edits.clear();
  std::string big;
  const std::string texts = Repeat("," + Repeat("あ", 1000), 4);
  for (int i = 1; i <= 200; ++i)
    big += Number(i) + texts + "\r\n";
  Import(big);
  std::vector<std::string> numbers(MaxEditEntries + 1, "01");
  PhoneBook().Delete(numbers);
  ASSERT_EQ(edits.size(), 4u);
  EXPECT_EQ(edits[0].Entries.size() + edits[1].Entries.size(), 200u);
  EXPECT_EQ(edits[2].Numbers.size(), MaxEditEntries);
  EXPECT_EQ(edits[3].Numbers.size(), 1u);
  // A hook that cannot keep the edit undoes it.
  refuse = true;
  EXPECT_THROW(PhoneBook().Delete({Number(2)}), Exception);
  EXPECT_EQ(Value(Number(2), "phone_number"), Number(2));
  PhoneBook().SetEditHook(nullptr);
}

TEST_F(PhoneBookTest, TheOfficesEntriesKeepThisPcsCommandAndLastCall) {
  TTableRow own;
  own.SetValue("phone_number", Number(1));
  own.SetValue("exec_cmd", "run-me");
  own.SetValue("last_incoming_date", "2026/02/02 10:00:00.000");
  CtiDb->InsertPhoneNumber(own);
  TTableRow office;
  office.SetValue("phone_number", Number(1));
  office.SetValue("owner_name", "新");
  office.SetValue("exec_cmd", "not-mine");
  office.SetValue("last_updated", "2026/03/03 11:00:00.000");
  bool inTransaction = false;
  PhoneBook().SetEditHook([](const TBookEdit&) { FAIL() << "not an edit of this PC"; });
  PhoneBook().ApplyOffice({TBookEdit::TKind::Save, {office}, {}},
                          [&] { inTransaction = CtiDb->InTransaction(); });
  PhoneBook().SetEditHook(nullptr);
  EXPECT_TRUE(inTransaction);
  EXPECT_EQ(Value(Number(1), "owner_name"), "新");
  EXPECT_EQ(Value(Number(1), "last_updated"), "2026/03/03 11:00:00.000");
  EXPECT_EQ(Value(Number(1), "exec_cmd"), "run-me");
  EXPECT_EQ(Value(Number(1), "last_incoming_date"), "2026/02/02 10:00:00.000");
}

} // namespace
