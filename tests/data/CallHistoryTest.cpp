#include "data/CallHistory.h"
#include "CallDatabaseFolder.h"
#include "data/SQLiteDatabase.h"

#include <fmt/printf.h>

namespace {

class CallHistoryTest : public TCallDatabaseFolder {
protected:
  static std::string Date(int minute) { return fmt::sprintf("2026/12/07 10:%02d:00.000", minute); }
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

} // namespace
