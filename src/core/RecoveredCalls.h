#pragma once

#include <vector>

#include "core/MemoryRecordMatch.h"

// A call of the history that the memory changed: added, or ended.
struct TRecoveredCall {
  TCallKey Key;
  TStoredCall Call;
  bool Added = false;
};

// Records the calls of the adapter's memory that the history lacks, as a
// new caller's call would be recorded but without showing anything: the
// history row with the stored outcome, the number registered in the phone
// book (below the limit) and its last call date raised, never lowered. A
// call the history holds as not ended takes the stored outcome. Every
// record read is remembered, so that none is added twice or comes back
// after the user deleted it. All in one transaction; database failures
// raise. Returns the calls added, oldest first, then those ended.
std::vector<TRecoveredCall> RecordRecoveredCalls(const std::vector<TStoredCall>& stored);
