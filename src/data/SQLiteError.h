#pragma once

#include "base/Exception.h"

#include <string>

// Every failure of the SQLite access layer, with SQLite's result code where
// there is one (0 otherwise).
class ESQLiteException : public Exception {
public:
  explicit ESQLiteException(std::string message, int code = 0)
      : Exception(std::move(message)), code_(code) {}
  int Code() const { return code_; }
  // Another connection holds the lock: the same statement may succeed later.
  bool IsBusy() const;
  // The database may take the same statement later: it is locked, the disk
  // is full, or an I/O error struck.
  bool IsTransient() const;

private:
  int code_;
};

// Fixed English description of an SQLite result code.
std::string SQLiteErrorText(int code);
