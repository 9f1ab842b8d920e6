#include "HistoryReader.h"

namespace {

std::string Text(sqlite3_stmt* statement, int column) {
  const auto* text = sqlite3_column_text(statement, column);
  return text != nullptr ? reinterpret_cast<const char*>(text) : "";
}

THistoryRow Row(sqlite3_stmt* statement) {
  return {Text(statement, 0), sqlite3_column_int(statement, 1), sqlite3_column_int(statement, 2)};
}

constexpr const char* kRowsSql = "SELECT phone_number, state, connected FROM incoming_numbers"
                                 " ORDER BY incoming_order";

} // namespace

THistoryReader::~THistoryReader() {
  sqlite3_close(db_);
}

bool THistoryReader::Open() {
  if (db_ != nullptr)
    return true;
  if (sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db_);
    db_ = nullptr;
    return false;
  }
  // The program holds its write lock only briefly.
  sqlite3_busy_timeout(db_, 2000);
  return true;
}

template <typename F> bool THistoryReader::Each(const char* sql, F&& row) {
  if (!Open())
    return false;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr) != SQLITE_OK) {
    sqlite3_finalize(statement);
    return false;
  }
  int rc = SQLITE_ROW;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW)
    row(statement);
  sqlite3_finalize(statement);
  return rc == SQLITE_DONE;
}

std::vector<THistoryRow> THistoryReader::Rows() {
  std::vector<THistoryRow> rows;
  if (!Each(kRowsSql, [&](sqlite3_stmt* s) { rows.push_back(Row(s)); }))
    rows.clear();
  return rows;
}

bool THistoryReader::Newest(int& count, THistoryRow& newest) {
  count = 0;
  // One statement, so both answers come from the same moment.
  return Each("SELECT phone_number, state, connected,"
              " (SELECT count(*) FROM incoming_numbers) FROM incoming_numbers"
              " ORDER BY incoming_order DESC LIMIT 1",
              [&](sqlite3_stmt* s) {
                newest = Row(s);
                count = sqlite3_column_int(s, 3);
              });
}

std::string THistoryReader::IntegrityCheck() {
  std::string answer;
  if (!Each("PRAGMA integrity_check",
            [&](sqlite3_stmt* s) { answer += (answer.empty() ? "" : "; ") + Text(s, 0); }))
    return "cannot be read";
  return answer;
}
