#pragma once

#include "data/BusyTimeoutScope.h"
#include "data/KsoCtiDb.h"

#include <optional>

// The call's writes wait only briefly for a lock held by another program:
// a refused write is kept and retried anyway, while a long wait would hold
// up the display of the caller and the session's packets, whose ring and
// talk times are taken when they are handled.
class TShortBusyWait {
public:
  TShortBusyWait() {
    if (CtiDb)
      scope_.emplace(*CtiDb, 100);
  }

private:
  std::optional<TBusyTimeoutScope> scope_;
};
