#pragma once

#include "data/KsoCtiDb.h"

#include <algorithm>

// The call's writes wait only briefly for a lock held by another program:
// a refused write is kept and retried anyway, while a long wait would hold
// up the display of the caller and the session's packets, whose ring and
// talk times are taken when they are handled.
class TShortBusyWait {
public:
  TShortBusyWait() : saved_(CtiDb ? CtiDb->BusyTimeout() : 0) {
    if (CtiDb)
      CtiDb->SetBusyTimeout(std::min(saved_, 100));
  }
  ~TShortBusyWait() {
    if (CtiDb)
      CtiDb->SetBusyTimeout(saved_);
  }
  TShortBusyWait(const TShortBusyWait&) = delete;
  TShortBusyWait& operator=(const TShortBusyWait&) = delete;

private:
  int saved_;
};
