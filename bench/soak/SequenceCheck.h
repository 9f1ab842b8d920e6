#pragma once

#include "CallPlan.h"
#include "HistoryReader.h"

#include <vector>

// The recorded history against the calls placed. A call with a number is
// found by the index in its number; withheld and out-of-area calls are
// counted between the numbered calls around them.
struct TSequenceResult {
  int Lost = 0;
  int Doubled = 0;
  // Rows whose state or connected flag is not the call's outcome; counted
  // only when every call was recorded once, in order.
  int WrongOutcome = 0;
  bool InOrder = false;
};

TSequenceResult CheckSequence(const std::vector<TSoakCall>& calls,
                              const std::vector<THistoryRow>& rows);
