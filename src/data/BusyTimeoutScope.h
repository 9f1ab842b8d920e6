#pragma once

#include "data/KsoCtiDb.h"

#include <algorithm>

// Shortens how long the database waits for a lock held by another program,
// for writes the main thread must not be held up by; restored at the end.
class TBusyTimeoutScope {
public:
  TBusyTimeoutScope(TKsoCtiDb& db, int milliseconds) : db_(db), saved_(db.BusyTimeout()) {
    db_.SetBusyTimeout(std::min(saved_, milliseconds));
  }
  ~TBusyTimeoutScope() { db_.SetBusyTimeout(saved_); }
  TBusyTimeoutScope(const TBusyTimeoutScope&) = delete;
  TBusyTimeoutScope& operator=(const TBusyTimeoutScope&) = delete;

private:
  TKsoCtiDb& db_;
  int saved_;
};
