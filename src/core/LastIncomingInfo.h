#pragma once

#include "common2/KT5EventArgs.h"

#include <atomic>
#include <string>

// The key of the history row of the call being tracked; hook events of the
// call update that row.
struct TLastIncomingInfo {
  int IncomingOrder = 0;
  std::string IncomingDate;
};

extern TLastIncomingInfo LastIncomingInfo;
// The call-group event the main window handled last (GroupNo -1 before any).
extern IKT5GroupEventArgs LastGroupEvent;
// Set once the main window is being destroyed.
extern std::atomic<bool> AppClosing;
