#pragma once

#include <sqlite3.h>
#include <string>
#include <vector>

// The program's call history, read beside the running program through a
// read-only connection of its own.
struct THistoryRow {
  std::string Number;
  int State = 0;
  int Connected = 0;
};

class THistoryReader {
public:
  explicit THistoryReader(std::string databasePath) : path_(std::move(databasePath)) {}
  ~THistoryReader();
  THistoryReader(const THistoryReader&) = delete;
  THistoryReader& operator=(const THistoryReader&) = delete;

  // Every row, oldest call first; empty while the database cannot be read.
  std::vector<THistoryRow> Rows();
  // The newest row and how many there are; false while unreadable.
  bool Newest(int& count, THistoryRow& newest);
  // The answer of PRAGMA integrity_check ("ok" for a sound file).
  std::string IntegrityCheck();

private:
  bool Open();
  template <typename F> bool Each(const char* sql, F&& row);

  std::string path_;
  sqlite3* db_ = nullptr;
};
