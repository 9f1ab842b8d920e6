#pragma once

#include "common2/KT5EventArgs.h"

#include <atomic>
#include <string>

// The key of the history row of the call registered last (empty when its
// row could not be added). Hook events do not go by it: they find the call
// of their own group.
struct TLastIncomingInfo {
  int IncomingOrder = 0;
  std::string IncomingDate;
};

extern TLastIncomingInfo LastIncomingInfo;
// The call-group event the main window handled last (GroupNo -1 before any).
extern IKT5GroupEventArgs LastGroupEvent;
// Set once the main window is being destroyed.
extern std::atomic<bool> AppClosing;
