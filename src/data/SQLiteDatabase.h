#pragma once

#include "data/SQLiteError.h"
#include "data/SQLiteTable.h"

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// A value bound to a statement's parameter (?, ?NNN): an integer or a text.
using TSQLiteParam = std::variant<std::int64_t, std::string>;
using TSQLiteParams = std::vector<TSQLiteParam>;

// One open SQLite connection. Statements come as SQL texts (UTF-8), their
// values either written into the text or bound to parameters in order;
// every failure raises ESQLiteException and leaves the connection usable.
// Main thread only. A lock held by another program (a backup, a database
// browser) is waited for up to the busy timeout before a statement fails.
class TSQLiteDatabase {
public:
  static constexpr int DefaultBusyTimeoutMs = 3000;

  // Opens (and creates when missing) the database file.
  explicit TSQLiteDatabase(const std::string& fileName);
  // Rolls back an open transaction, then closes.
  ~TSQLiteDatabase();
  TSQLiteDatabase(const TSQLiteDatabase&) = delete;
  TSQLiteDatabase& operator=(const TSQLiteDatabase&) = delete;

  // Runs one statement that returns no rows.
  void Execute(const std::string& sql, const TSQLiteParams& params = {});
  // Runs a query and fetches its whole result.
  std::unique_ptr<TSQLiteTable> Query(const std::string& sql, const TSQLiteParams& params = {});

  void BeginTransaction();
  void Commit();
  // Nothing to do when SQLite has already rolled the transaction back.
  void Rollback();
  // As SQLite has it: after a disk-full or I/O failure it may have rolled
  // the transaction back itself.
  bool InTransaction() const;

  void SetBusyTimeout(int milliseconds);
  int BusyTimeout() const { return busyTimeoutMs_; }

private:
  struct TConnectionCloser {
    void operator()(sqlite3* db) const;
  };
  struct TStatementFinalizer {
    void operator()(sqlite3_stmt* statement) const;
  };
  using TStatement = std::unique_ptr<sqlite3_stmt, TStatementFinalizer>;

  // Prepares `sql` and binds `params` to its parameters 1, 2, ...
  TStatement Prepare(const std::string& sql, const TSQLiteParams& params);
  [[noreturn]] void RaiseSQLiteError(const std::string& msg, const std::string& sql) const;
  // Resets the failed statement, then raises through the error composer.
  [[noreturn]] void RaiseStepError(sqlite3_stmt* statement, const std::string& msg,
                                   const std::string& sql) const;

  std::unique_ptr<sqlite3, TConnectionCloser> db_;
  int busyTimeoutMs_ = 0;
};
