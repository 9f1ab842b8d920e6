#include "data/SQLiteDatabase.h"
#include "DataTestFolder.h"
#include "data/FloatText.h"
#include "data/Transaction.h"
#include "support/FaultVfs.h"
#include "support/NonRootUser.h"

#include <sys/stat.h>
#include <thread>

namespace {

class SQLiteDatabaseTest : public TDataTestFolder {
protected:
  void SetUp() override {
    TDataTestFolder::SetUp();
    db_ = std::make_unique<TSQLiteDatabase>(Path("test.db3"));
    db_->Execute(
        "CREATE TABLE t (i INTEGER, f REAL, s TEXT, b BLOB, li integer, v VARCHAR(20), ld double)");
  }
  std::string MessageOf(const std::function<void()>& action) {
    try {
      action();
    } catch (const ESQLiteException& e) {
      return e.Message();
    }
    return "(no exception)";
  }
  std::string FirstText(const std::string& sql) {
    const auto table = db_->Query(sql);
    return table->ValueAsText(0);
  }

  std::unique_ptr<TSQLiteDatabase> db_;
};

TEST_F(SQLiteDatabaseTest, EmptyResultIsAtEndWithoutColumns) {
  const auto table = db_->Query("SELECT * FROM t");
  EXPECT_TRUE(table->AtEnd());
  EXPECT_EQ(table->ColumnCount(), 0);
  EXPECT_EQ(table->RowCount(), 0);
  EXPECT_FALSE(table->Next());
  EXPECT_EQ(MessageOf([&] { table->ValueAsText(0); }), "Table is at End of File");
  EXPECT_EQ(MessageOf([&] { table->IsNull(0); }), "Table is at End of File");
}

TEST_F(SQLiteDatabaseTest, ColumnKindsFollowDeclaredTypesExactly) {
  db_->Execute("INSERT INTO t VALUES (7, 2.5, 'x', X'4142', 12, 'v', 0.5)");
  const auto table = db_->Query("SELECT i, f, s, b, li, v, count(*) AS n, 1.5 AS e, ld FROM t");
  EXPECT_EQ(table->ColumnName(0), "I");
  EXPECT_EQ(table->ColumnName(6), "N");
  EXPECT_EQ(table->ColumnKind(0), ckInteger);
  EXPECT_EQ(table->ColumnKind(1), ckFloat);
  EXPECT_EQ(table->ColumnKind(2), ckText);
  EXPECT_EQ(table->ColumnKind(3), ckBlob);
  // SQLite itself reports the standard names INT, INTEGER, REAL, TEXT and
  // BLOB in upper case, whatever case the table was declared in.
  EXPECT_EQ(table->ColumnKind(4), ckInteger);
  EXPECT_EQ(table->ColumnKind(5), ckText);
  EXPECT_EQ(table->ColumnKind(6), ckInteger); // storage class of count(*)
  EXPECT_EQ(table->ColumnKind(7), ckFloat);
  EXPECT_EQ(table->ColumnKind(8), ckText); // lower-case "double"
  EXPECT_EQ(table->ValueAsText(8), "0.5");
  EXPECT_EQ(table->ValueAsText(0), "7");
  EXPECT_EQ(table->ValueAsText(1), "2.5");
  EXPECT_EQ(table->ValueAsText(3), "AB");
  EXPECT_EQ(table->ValueAsText(4), "12");
  EXPECT_EQ(table->ValueAsText(6), "1");
}

TEST_F(SQLiteDatabaseTest, CountOfManyRowsAndCursor) {
  for (int n = 0; n < 3; ++n)
    db_->Execute("INSERT INTO t (i) VALUES (" + std::to_string(n) + ")");
  EXPECT_EQ(FirstText("SELECT count(*) FROM t"), "3");
  const auto table = db_->Query("SELECT i FROM t ORDER BY i");
  std::string seen;
  for (; !table->AtEnd(); table->Next())
    seen += table->ValueAsText(0);
  EXPECT_EQ(seen, "012");
  EXPECT_FALSE(table->Next());
}

TEST_F(SQLiteDatabaseTest, NullCells) {
  db_->Execute("INSERT INTO t (i) VALUES (NULL)");
  db_->Execute("INSERT INTO t (i, b) VALUES (1, X'')");
  const auto table = db_->Query("SELECT i, f, s, b, NULL AS n FROM t ORDER BY i");
  EXPECT_EQ(table->ColumnKind(4), ckNull);
  for (int c = 0; c < 5; ++c)
    EXPECT_TRUE(table->IsNull(c)) << c;
  EXPECT_EQ(table->ValueAsText(0), "0");
  EXPECT_EQ(table->ValueAsText(1), "0");
  EXPECT_EQ(table->ValueAsText(2), "");
  EXPECT_EQ(table->ValueAsText(4), "");
  table->Next();
  EXPECT_TRUE(table->IsNull(3)); // a zero-length blob is empty
}

TEST_F(SQLiteDatabaseTest, LaterRowsAreConvertedToTheFirstRowsKind) {
  db_->Execute("INSERT INTO t (i, s) VALUES (1, '10'), (2, 'abc'), (3, 4.75)");
  const auto table = db_->Query("SELECT s + 0 FROM t ORDER BY i");
  EXPECT_EQ(table->ColumnKind(0), ckInteger);
  table->Next();
  table->Next();
  EXPECT_EQ(table->ValueAsText(0), "4"); // read with the integer accessor
}

TEST_F(SQLiteDatabaseTest, TakeValueTextHandsOverTextOnce) {
  db_->Execute("INSERT INTO t (i, s) VALUES (5, 'text')");
  const auto table = db_->Query("SELECT i, s FROM t");
  EXPECT_EQ(table->TakeValueText(0), "5");
  EXPECT_EQ(table->TakeValueText(0), "5");
  EXPECT_EQ(table->TakeValueText(1), "text");
  EXPECT_EQ(table->ValueAsText(1), "");
}

TEST_F(SQLiteDatabaseTest, InvalidUtf8ReadsAsEmpty) {
  db_->Execute("INSERT INTO t (i, s) VALUES (1, CAST(X'41E381' AS TEXT))");
  db_->Execute("INSERT INTO t (i, s) VALUES (2, CAST(X'C341' AS TEXT))");
  db_->Execute("INSERT INTO t (i, s) VALUES (3, '日本語😀')");
  db_->Execute("INSERT INTO t (i, b) VALUES (4, X'E3818241')");
  const auto table = db_->Query("SELECT s, b FROM t ORDER BY i");
  EXPECT_EQ(table->ValueAsText(0), ""); // cut short
  table->Next();
  EXPECT_EQ(table->ValueAsText(0), ""); // missing continuation byte
  table->Next();
  EXPECT_EQ(table->ValueAsText(0), "日本語😀");
  table->Next();
  EXPECT_EQ(table->ValueAsText(1), "あA");
}

TEST_F(SQLiteDatabaseTest, NestedTransactionIsRefusedAndFirstStaysOpen) {
  db_->BeginTransaction();
  db_->Execute("INSERT INTO t (i) VALUES (1)");
  EXPECT_EQ(MessageOf([&] { db_->BeginTransaction(); }), "Transaction already open");
  EXPECT_TRUE(db_->InTransaction());
  db_->Rollback();
  EXPECT_FALSE(db_->InTransaction());
  EXPECT_EQ(FirstText("SELECT count(*) FROM t"), "0");
  db_->BeginTransaction();
  db_->Execute("INSERT INTO t (i) VALUES (1)");
  db_->Commit();
  EXPECT_EQ(FirstText("SELECT count(*) FROM t"), "1");
}

TEST_F(SQLiteDatabaseTest, TransactionGuardRollsBackUnlessCommitted) {
  {
    TTransaction transaction(*db_);
    db_->Execute("INSERT INTO t (i) VALUES (1)");
  }
  EXPECT_FALSE(db_->InTransaction());
  EXPECT_EQ(FirstText("SELECT count(*) FROM t"), "0");
  {
    TTransaction transaction(*db_);
    db_->Execute("INSERT INTO t (i) VALUES (1)");
    transaction.Commit();
  }
  EXPECT_EQ(FirstText("SELECT count(*) FROM t"), "1");
  // A guard that could not begin leaves the open transaction alone.
  db_->BeginTransaction();
  EXPECT_THROW(TTransaction transaction(*db_), ESQLiteException);
  EXPECT_TRUE(db_->InTransaction());
  db_->Rollback();
}

TEST_F(SQLiteDatabaseTest, TransactionSQLiteRolledBackItselfIsOverAndTheNextOneBegins) {
  TFaultVfs vfs;
  db_ = std::make_unique<TSQLiteDatabase>(Path("test.db3"));
  {
    TTransaction transaction(*db_);
    db_->Execute("INSERT INTO t (i) VALUES (1)");
    vfs.Arm({TFaultPoint::Write, SQLITE_FULL}, 1); // the disk fills up
    EXPECT_THROW(transaction.Commit(), ESQLiteException);
    vfs.Disarm();
  }
  EXPECT_FALSE(db_->InTransaction());
  TTransaction transaction(*db_);
  db_->Execute("INSERT INTO t (i) VALUES (2)");
  transaction.Commit();
  EXPECT_EQ(FirstText("SELECT group_concat(i) FROM t"), "2");
}

TEST_F(SQLiteDatabaseTest, BoundParametersAreValuesNeverSql) {
  const std::string text = "O'Brien'); DROP TABLE t; --";
  db_->Execute("INSERT INTO t (i, s) VALUES (?, ?)", {std::int64_t{42}, text});
  const auto table = db_->Query("SELECT i, s FROM t WHERE s = ?1 AND s <> ?1 || 'x'", {text});
  ASSERT_FALSE(table->AtEnd());
  EXPECT_EQ(table->ValueAsText(0), "42");
  EXPECT_EQ(table->ValueAsText(1), text);
  EXPECT_EQ(MessageOf([&] { db_->Execute("INSERT INTO t (i, s) VALUES (?, ?)", {text}); }),
            "Could not bind parameters (1 for 2): \"INSERT INTO t (i, s) VALUES (?, ?)\"");
  EXPECT_EQ(FirstText("SELECT count(*) FROM t"), "1");
}

TEST_F(SQLiteDatabaseTest, DestructionRollsBackAnOpenTransaction) {
  db_->BeginTransaction();
  db_->Execute("INSERT INTO t (i) VALUES (1)");
  db_ = std::make_unique<TSQLiteDatabase>(Path("test.db3"));
  EXPECT_EQ(FirstText("SELECT count(*) FROM t"), "0");
}

TEST_F(SQLiteDatabaseTest, ComposedErrorMessages) {
  EXPECT_EQ(MessageOf([&] { db_->Execute("DELETE FROM missing"); }),
            "Error executing SQL.\rError [1]: SQL error or missing database.\r"
            "\"DELETE FROM missing\": no such table: missing");
  EXPECT_EQ(MessageOf([&] { db_->Query("SELECT * FROM missing"); }),
            "Error executing SQL.\rError [1]: SQL error or missing database.\r"
            "\"SELECT * FROM missing\": no such table: missing");
  EXPECT_EQ(MessageOf([&] { db_->Execute("  -- nothing"); }), "Could not prepare SQL statement");
  db_->Execute("CREATE TABLE u (k INTEGER PRIMARY KEY)");
  db_->Execute("INSERT INTO u VALUES (1)");
  EXPECT_EQ(MessageOf([&] { db_->Execute("INSERT INTO u VALUES (1)"); }),
            "Error executing SQL statement.\rError [19]: Abort due to contraint violation.\r"
            "\"INSERT INTO u VALUES (1)\": UNIQUE constraint failed: u.k");
  EXPECT_EQ(MessageOf([&] { db_->Query("SELECT abs(-9223372036854775807 - 1)"); }),
            "Could not retrieve data.\rError [1]: SQL error or missing database.\r"
            "\"SELECT abs(-9223372036854775807 - 1)\": integer overflow");
  EXPECT_EQ(FirstText("SELECT 1"), "1"); // still usable
}

TEST_F(SQLiteDatabaseTest, LockHeldByAnotherConnectionIsWaitedForThenFails) {
  TSQLiteDatabase other(Path("test.db3"));
  other.Execute("BEGIN EXCLUSIVE");
  // A short lock delays the statement instead of failing it.
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    other.Execute("ROLLBACK");
  });
  EXPECT_NO_THROW(db_->Execute("INSERT INTO t (i) VALUES (1)"));
  release.join();
  // A lock held past the busy timeout fails, recognisably as a lock.
  other.Execute("BEGIN EXCLUSIVE");
  db_->SetBusyTimeout(10);
  const auto busy = [&](const std::function<void()>& action) {
    try {
      action();
    } catch (const ESQLiteException& e) {
      EXPECT_TRUE(e.IsBusy()) << e.Message();
      return e.Message();
    }
    return std::string("(no exception)");
  };
  EXPECT_EQ(busy([&] { db_->Query("SELECT * FROM t"); }), "Could not prepare SQL statement");
  EXPECT_EQ(busy([&] { db_->Execute("INSERT INTO t (i) VALUES (2)"); }),
            "Error executing SQL statement.\rError [5]: The database file is locked.\r"
            "\"INSERT INTO t (i) VALUES (2)\": database is locked");
  other.Execute("ROLLBACK");
  db_->Execute("INSERT INTO t (i) VALUES (2)");
  EXPECT_EQ(FirstText("SELECT count(*) FROM t"), "2");
}

TEST_F(SQLiteDatabaseTest, OpenFailureNamesTheFile) {
  const std::string path = Path("missing/x.db3");
  try {
    TSQLiteDatabase failing(path);
    FAIL();
  } catch (const ESQLiteException& e) {
    EXPECT_EQ(e.Message(),
              "Failed to open database \"" + path + "\" : unable to open database file");
  }
}

TEST_F(SQLiteDatabaseTest, ReadOnlyFileRefusesWrites) {
  db_.reset();
  ::chmod(Path("test.db3").c_str(), 0444);
  EXPECT_TRUE(AsNonRootUser(Path("."), [&] {
    TSQLiteDatabase readOnly(Path("test.db3"));
    return MessageOf([&] { readOnly.Execute("INSERT INTO t (i) VALUES (1)"); }).substr(0, 41) ==
           "Error executing SQL statement.\rError [8]:";
  }));
}

TEST(SQLiteErrorText, EveryCode) {
  EXPECT_EQ(SQLiteErrorText(0), "Successful result");
  EXPECT_EQ(SQLiteErrorText(19), "Abort due to contraint violation");
  EXPECT_EQ(SQLiteErrorText(26), "File opened that is not a database file");
  EXPECT_EQ(SQLiteErrorText(100), "sqlite3_step() has another row ready");
  EXPECT_EQ(SQLiteErrorText(101), "sqlite3_step() has finished executing");
  EXPECT_EQ(SQLiteErrorText(27), "Unknown SQLite Error Code \"27\"");
  EXPECT_EQ(SQLiteErrorText(-1), "Unknown SQLite Error Code \"-1\"");
}

TEST(FloatToStr, GeneralFormat) {
  EXPECT_EQ(FloatToStr(0.0), "0");
  EXPECT_EQ(FloatToStr(2.5), "2.5");
  EXPECT_EQ(FloatToStr(-3.0), "-3");
  EXPECT_EQ(FloatToStr(0.1), "0.1");
  EXPECT_EQ(FloatToStr(1.0 / 3.0), "0.333333333333333");
  EXPECT_EQ(FloatToStr(123456789012345.0), "123456789012345");
  EXPECT_EQ(FloatToStr(1e15), "1E15");
  EXPECT_EQ(FloatToStr(0.00001), "0.00001");
  EXPECT_EQ(FloatToStr(0.0000015), "1.5E-6");
  EXPECT_EQ(FloatToStr(-2.5e20), "-2.5E20");
}

} // namespace
