#include "data/TableRow.h"

#include <gtest/gtest.h>

namespace {

TEST(TTableRow, NamesCompareCaseInsensitively) {
  TTableRow row;
  row.SetValue("Phone_Number", "0312345678");
  EXPECT_EQ(row.GetValue("PHONE_NUMBER"), "0312345678");
  EXPECT_EQ(row.GetValue("phone_number"), "0312345678");
  row.SetValue("PHONE_NUMBER", "09");
  EXPECT_EQ(row.Count(), 1);
  EXPECT_EQ(row.GetValue("phone_number"), "09");
  EXPECT_EQ(row.GetValue("absent"), "");
  EXPECT_FALSE(row.Contains("absent"));
  EXPECT_TRUE(row.Contains("Phone_number"));
}

TEST(TTableRow, EntriesAreOrderedByName) {
  TTableRow row;
  row.SetValue("b", "2");
  row.SetValue("_IncomingDate", "d");
  row.SetValue("a", "1");
  ASSERT_EQ(row.Count(), 3);
  EXPECT_EQ(row.Entries()[0].first, "_incomingdate");
  EXPECT_EQ(row.Entries()[1].first, "a");
  EXPECT_EQ(row.Entries()[2].first, "b");
}

TEST(TTableRow, AssignCloneAndClear) {
  TTableRow source;
  source.SetValue("a", "1");
  TTableRow target;
  target.SetValue("z", "old");
  target.Assign(source);
  EXPECT_EQ(target.GetValue("z"), "");
  EXPECT_EQ(target.GetValue("a"), "1");
  const auto copy = source.Clone();
  source.SetValue("a", "changed");
  EXPECT_EQ(copy->GetValue("a"), "1");
  target.Clear();
  EXPECT_EQ(target.Count(), 0);
}

TEST(TTableRows, OwningListWithBoundsChecks) {
  TTableRows rows;
  for (const char* v : {"x", "z"}) {
    auto row = std::make_unique<TTableRow>();
    row->SetValue("v", v);
    rows.Add(std::move(row));
  }
  auto middle = std::make_unique<TTableRow>();
  middle->SetValue("v", "y");
  rows.Insert(1, std::move(middle));
  ASSERT_EQ(rows.Count(), 3);
  EXPECT_EQ(rows[1].GetValue("v"), "y");
  rows.Delete(0);
  EXPECT_EQ(rows.Items(0).GetValue("v"), "y");
  rows.Insert(rows.Count(), std::make_unique<TTableRow>());
  EXPECT_EQ(rows.Count(), 3);
  for (const int bad : {-1, 3}) {
    try {
      rows.Items(bad);
      FAIL();
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), "List index out of bounds (" + std::to_string(bad) + ")");
    }
  }
  EXPECT_THROW(rows.Delete(3), Exception);
  EXPECT_THROW(rows.Insert(5, std::make_unique<TTableRow>()), Exception);
  rows.Clear();
  EXPECT_EQ(rows.Count(), 0);
}

} // namespace
