#include "data/SQLiteDatabase.h"

#include "base/Text.h"
#include "base/Utf8Text.h"

#include <fmt/printf.h>
#include <sqlite3.h>

namespace {

std::string ColumnText(sqlite3_stmt* statement, int column) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
  if (text == nullptr)
    return {};
  return Utf8OrEmpty(
      std::string_view(text, static_cast<size_t>(sqlite3_column_bytes(statement, column))));
}

TColumnKind KindOfDeclaredType(const char* declared, int storageClass) {
  if (declared == nullptr)
    return static_cast<TColumnKind>(storageClass);
  const std::string_view type = declared;
  if (type == "INTEGER" || type == "BOOLEAN")
    return ckInteger;
  if (type == "NUMERIC" || type == "FLOAT" || type == "DOUBLE" || type == "REAL")
    return ckFloat;
  if (type == "BLOB")
    return ckBlob;
  return ckText;
}

TSQLiteCell ReadCell(sqlite3_stmt* statement, int column, TColumnKind kind) {
  if (sqlite3_column_type(statement, column) == SQLITE_NULL)
    return {};
  switch (kind) {
  case ckInteger:
    return static_cast<std::int64_t>(sqlite3_column_int64(statement, column));
  case ckFloat:
    return sqlite3_column_double(statement, column);
  case ckText:
    return ColumnText(statement, column);
  case ckBlob: {
    const void* bytes = sqlite3_column_blob(statement, column);
    const int size = sqlite3_column_bytes(statement, column);
    if (bytes == nullptr || size == 0)
      return {};
    return std::string(static_cast<const char*>(bytes), static_cast<size_t>(size));
  }
  case ckNull:
    break;
  }
  return {};
}

int BindParam(sqlite3_stmt* statement, int index, const TSQLiteParam& param) {
  if (const auto* number = std::get_if<std::int64_t>(&param))
    return sqlite3_bind_int64(statement, index, *number);
  const std::string& text = std::get<std::string>(param);
  return sqlite3_bind_text64(statement, index, text.data(), text.size(), SQLITE_TRANSIENT,
                             SQLITE_UTF8);
}

// Names and kinds are fixed by the first row.
void DescribeColumns(sqlite3_stmt* statement, std::vector<std::string>& names,
                     std::vector<TColumnKind>& kinds) {
  const int count = sqlite3_column_count(statement);
  for (int i = 0; i < count; ++i) {
    const char* name = sqlite3_column_name(statement, i);
    names.push_back(UpperCaseAscii(Utf8OrEmpty(name != nullptr ? name : "")));
    kinds.push_back(KindOfDeclaredType(sqlite3_column_decltype(statement, i),
                                       sqlite3_column_type(statement, i)));
  }
}

} // namespace

void TSQLiteDatabase::TConnectionCloser::operator()(sqlite3* db) const {
  sqlite3_close(db);
}

void TSQLiteDatabase::TStatementFinalizer::operator()(sqlite3_stmt* statement) const {
  sqlite3_finalize(statement);
}

TSQLiteDatabase::TSQLiteDatabase(const std::string& fileName) {
  sqlite3* handle = nullptr;
  const int rc = sqlite3_open(fileName.c_str(), &handle);
  db_.reset(handle);
  if (rc == SQLITE_OK) {
    SetBusyTimeout(DefaultBusyTimeoutMs);
    return;
  }
  if (!db_)
    throw ESQLiteException(
        fmt::sprintf("Failed to open database \"%s\" : unknown error", fileName));
  throw ESQLiteException(fmt::sprintf("Failed to open database \"%s\" : %s", fileName,
                                      Utf8OrEmpty(sqlite3_errmsg(db_.get()))));
}

TSQLiteDatabase::~TSQLiteDatabase() {
  if (!InTransaction())
    return;
  try {
    Rollback();
  } catch (const std::exception&) {
    // Closing the connection discards the transaction anyway.
  }
}

void TSQLiteDatabase::RaiseSQLiteError(const std::string& msg, const std::string& sql) const {
  const int code = sqlite3_errcode(db_.get());
  const char* sqliteMessage = sqlite3_errmsg(db_.get());
  if (code == SQLITE_OK || sqliteMessage == nullptr)
    throw ESQLiteException(msg, code);
  throw ESQLiteException(fmt::sprintf("%s.\rError [%d]: %s.\r\"%s\": %s", msg, code,
                                      SQLiteErrorText(code), sql, Utf8OrEmpty(sqliteMessage)),
                         code);
}

void TSQLiteDatabase::RaiseStepError(sqlite3_stmt* statement, const std::string& msg,
                                     const std::string& sql) const {
  sqlite3_reset(statement);
  RaiseSQLiteError(msg, sql);
}

TSQLiteDatabase::TStatement TSQLiteDatabase::Prepare(const std::string& sql,
                                                     const TSQLiteParams& params) {
  sqlite3_stmt* handle = nullptr;
  const int rc = sqlite3_prepare_v2(db_.get(), sql.c_str(), -1, &handle, nullptr);
  TStatement statement(handle);
  if (rc != SQLITE_OK)
    RaiseSQLiteError("Error executing SQL", sql);
  if (!statement)
    RaiseSQLiteError("Could not prepare SQL statement", sql);
  if (static_cast<int>(params.size()) != sqlite3_bind_parameter_count(statement.get()))
    throw ESQLiteException(fmt::sprintf("Could not bind parameters (%d for %d): \"%s\"",
                                        params.size(),
                                        sqlite3_bind_parameter_count(statement.get()), sql));
  for (size_t i = 0; i < params.size(); ++i)
    if (BindParam(statement.get(), static_cast<int>(i) + 1, params[i]) != SQLITE_OK)
      RaiseSQLiteError("Could not bind parameter", sql);
  return statement;
}

void TSQLiteDatabase::Execute(const std::string& sql, const TSQLiteParams& params) {
  const TStatement statement = Prepare(sql, params);
  if (sqlite3_step(statement.get()) != SQLITE_DONE)
    RaiseStepError(statement.get(), "Error executing SQL statement", sql);
}

std::unique_ptr<TSQLiteTable> TSQLiteDatabase::Query(const std::string& sql,
                                                     const TSQLiteParams& params) {
  const TStatement statement = Prepare(sql, params);
  std::vector<std::string> names;
  std::vector<TColumnKind> kinds;
  std::vector<TSQLiteCell> cells;
  for (;;) {
    const int rc = sqlite3_step(statement.get());
    if (rc == SQLITE_DONE)
      break;
    if (rc == SQLITE_BUSY)
      throw ESQLiteException("Could not prepare SQL statement", SQLITE_BUSY);
    if (rc != SQLITE_ROW)
      RaiseStepError(statement.get(), "Could not retrieve data", sql);
    if (names.empty())
      DescribeColumns(statement.get(), names, kinds);
    for (size_t i = 0; i < kinds.size(); ++i)
      cells.push_back(ReadCell(statement.get(), static_cast<int>(i), kinds[i]));
  }
  return std::make_unique<TSQLiteTable>(std::move(names), std::move(kinds), std::move(cells));
}

void TSQLiteDatabase::SetBusyTimeout(int milliseconds) {
  sqlite3_busy_timeout(db_.get(), milliseconds);
  busyTimeoutMs_ = milliseconds;
}

bool TSQLiteDatabase::InTransaction() const {
  return sqlite3_get_autocommit(db_.get()) == 0;
}

void TSQLiteDatabase::BeginTransaction() {
  if (InTransaction())
    throw ESQLiteException("Transaction already open");
  Execute("BEGIN TRANSACTION");
}

void TSQLiteDatabase::Commit() {
  Execute("COMMIT");
}

void TSQLiteDatabase::Rollback() {
  if (InTransaction())
    Execute("ROLLBACK");
}
