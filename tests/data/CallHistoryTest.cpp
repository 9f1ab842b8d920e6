#include "data/CallHistory.h"
#include "CallDatabaseFolder.h"
#include "data/SQLiteDatabase.h"

#include <fmt/printf.h>
#include <sqlite3.h>

namespace {

class CallHistoryTest : public TCallDatabaseFolder {
protected:
  static std::string Date(int minute) { return fmt::sprintf("2026/12/07 10:%02d:00.000", minute); }
  static TTableRow StationCall(int order, int minute, int state, int talk = 0) {
    TTableRow row;
    row.SetValue("incoming_order", std::to_string(order));
    row.SetValue("incoming_date", Date(minute));
    row.SetValue("phone_number", "0312345678");
    row.SetValue("state", std::to_string(state));
    row.SetValue("onhook_seconds", std::to_string(talk));
    return row;
  }
  static std::vector<TCallKey> AddCalls(int count) {
    std::vector<TCallKey> calls;
    for (int i = 0; i < count; ++i)
      calls.push_back({CallHistory().AddCall("03" + std::to_string(i), Date(i)), Date(i)});
    return calls;
  }
};

TEST_F(CallHistoryTest, ACallIsKnownByItsOrderAndDate) {
  TTableRow row;
  row.SetValue("incoming_order", "12");
  row.SetValue("incoming_date", Date(1));
  EXPECT_EQ(CallKeyOf(row), (TCallKey{12, Date(1)}));
  row.SetValue("incoming_order", "x");
  EXPECT_EQ(CallKeyOf(row).Order, 0);
}

TEST_F(CallHistoryTest, HookStatesReachTheCallOfTheKey) {
  const std::vector<TCallKey> calls = AddCalls(3);
  CallHistory().SetAnswered(calls[0], 5);
  CallHistory().SetHungUp(calls[0], 65);
  CallHistory().SetNotAnswered(calls[1]);
  CallHistory().SetAnswered({calls[2].Order, Date(9)}, 7); // another date: no call
  const auto rows = CallHistory().List(10);
  ASSERT_EQ(rows->Count(), 3);
  const auto states = [&](int i) {
    const TTableRow& row = (*rows)[2 - i];
    return row.GetValue("state") + " " + row.GetValue("connected") + " " +
           row.GetValue("offhook_seconds") + " " + row.GetValue("onhook_seconds");
  };
  EXPECT_EQ(states(0), "2 1 5 65");
  EXPECT_EQ(states(1), "2 0 0 0");
  EXPECT_EQ(states(2), "0 0 0 0");
}

TEST_F(CallHistoryTest, DeletingIsAllOrNothingAndTellsTheListeners) {
  const std::vector<TCallKey> calls = AddCalls(4);
  std::vector<TCallKey> told;
  const TListening listening =
      CallHistory().Listen([&](const TCallHistoryChange& change) { told = change.Deleted; });
  CallHistory().Delete({calls[0], calls[2]});
  EXPECT_EQ(told, (std::vector<TCallKey>{calls[0], calls[2]}));
  EXPECT_EQ(CallHistory().List(10)->Count(), 2);
  told.clear();
  TSQLiteDatabase other(CtiDbFileName());
  other.Execute("BEGIN IMMEDIATE"); // another writer holds the lock
  CtiDb->SetBusyTimeout(0);
  EXPECT_THROW(CallHistory().Delete({calls[1], calls[3]}), ESQLiteException);
  other.Execute("ROLLBACK");
  EXPECT_TRUE(told.empty());
  EXPECT_EQ(CallHistory().List(10)->Count(), 2);
  EXPECT_FALSE(CtiDb->InTransaction());
}

TEST_F(CallHistoryTest, AStationsCallIsRecordedOnceAndItsEndMarksWhereADeskAsksFrom) {
  bool added = false;
  const TCallKey call = CallHistory().AddStationCall("desk1", StationCall(5, 1, 0), added);
  EXPECT_TRUE(added);
  EXPECT_FALSE(CallHistory().StationMark("desk1"));
  EXPECT_EQ(CallHistory().AddStationCall("desk1", StationCall(5, 1, 2, 40), added), call);
  EXPECT_FALSE(added);
  CallHistory().AddStationCall("desk1", StationCall(5, 1, 1), added); // never back
  EXPECT_EQ(CallHistory().List(5)->Items(0).GetValue("onhook_seconds"), "40");
  CallHistory().AddStationCall("desk1", StationCall(4, 2, 2), added); // before it, by order
  CallHistory().AddStationCall("desk2", StationCall(6, 2, 2), added); // another station's
  EXPECT_EQ(CallHistory().StationMark("desk1"), (TCallKey{5, Date(1)}));
  // After it by order though older: recovered by the station from its adapter.
  CallHistory().AddStationCall("desk1", StationCall(6, 0, 2), added);
  EXPECT_EQ(CallHistory().StationMark("desk1"), (TCallKey{6, Date(0)}));
  // Ended by the hook updates of a live call; deleting it does not move the mark back.
  const TCallKey live = CallHistory().AddStationCall("desk1", StationCall(7, 3, 0), added);
  CallHistory().SetHungUp(live, 9);
  CallHistory().Delete({live});
  EXPECT_EQ(CallHistory().StationMark("desk1"), (TCallKey{7, Date(3)}));
  EXPECT_EQ(CallHistory().List(10)->Count(), 4);
  // The first not ended here, among the station's recent calls.
  CallHistory().AddStationCall("desk1", StationCall(9, 5, 1), added);
  CallHistory().AddStationCall("desk1", StationCall(8, 6, 0), added);
  EXPECT_EQ(CallHistory().OldestOpenStationCall("desk1", 5), (TCallKey{8, Date(6)}));
  EXPECT_FALSE(CallHistory().OldestOpenStationCall("desk2", 5));
  CallHistory().AddStationCall("desk1", StationCall(10, 7, 2), added);
  CallHistory().AddStationCall("desk1", StationCall(11, 8, 2), added);
  EXPECT_EQ(CallHistory().OldestOpenStationCall("desk1", 3), (TCallKey{9, Date(5)}));
}

TEST_F(CallHistoryTest, AStationAnswersWithItsOwnCallsAfterAKeyOldestFirst) {
  const std::vector<TCallKey> own = AddCalls(4);
  bool added = false;
  CallHistory().AddStationCall("desk2", StationCall(1, 9, 2), added);
  TTableRow entry;
  entry.SetValue("phone_number", "030");
  entry.SetValue("owner_name", "山田商店");
  CtiDb->InsertPhoneNumber(entry);
  const auto calls = [](const TCallKey& after, int count, int window, bool byOrder = false) {
    std::string text;
    const auto rows = CallHistory().OwnCallsAfter(after, count, window, byOrder);
    for (int i = 0; i < rows->Count(); ++i)
      text += (*rows)[i].GetValue("incoming_order") + (*rows)[i].GetValue("owner_name") + " ";
    return text;
  };
  EXPECT_EQ(calls({}, 2, 10), "1山田商店 2 ");
  EXPECT_EQ(calls(own[1], 10, 10), "3 4 ");
  EXPECT_EQ(calls({}, 10, 3), "2 3 4 ");
  EXPECT_EQ(CallHistory().NewestOwnCallDate(), Date(3));
  // Added after the others, dated before them: last by order only.
  CallHistory().AddCall("035", Date(0));
  EXPECT_EQ(calls(own[1], 10, 10), "3 4 ");
  EXPECT_EQ(calls(own[1], 10, 10, true), "3 4 6 "); // 5 is desk2's
}

TEST_F(CallHistoryTest, AnOlderDatabaseIsUpgradedWhenOpenedKeepingItsCalls) {
  CtiDb.reset();
  std::filesystem::remove(CtiDbFileName());
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(CtiDbFileName().c_str(), &db), SQLITE_OK);
  const std::string sql = ReadFile(TELORIA_SCHEMA_SQL) +
                          "INSERT INTO incoming_numbers (incoming_order, incoming_date)"
                          " VALUES (1, '2026/12/07 10:00:00.000');";
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  CreateCtiDb();
  CreateCtiDb();
  EXPECT_EQ(CtiDb->GetVersionInfo()->GetValue("version_no"), "5");
  CtiDb->AddMemoryRecordMark("read", 10);
  EXPECT_EQ(CtiDb->GetMemoryRecordMarks(), std::vector<std::string>{"read"});
  bool added = false;
  CallHistory().AddStationCall("desk1", StationCall(1, 0, 2), added);
  EXPECT_EQ(CallHistory().List(10)->Count(), 2);
}

} // namespace
