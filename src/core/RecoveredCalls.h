#pragma once

#include <vector>

#include "core/MemoryRecordMatch.h"

// Records the calls of the adapter's memory that the history lacks, as a
// new caller's call would be recorded but without showing anything: the
// history row with the stored outcome, the number registered in the phone
// book (below the limit) and its last call date raised, never lowered. A
// call the history holds as not ended takes the stored outcome. Every
// record read is remembered, so that none is added twice or comes back
// after the user deleted it. All in one transaction; database failures
// raise. Returns the calls added, oldest first.
std::vector<TStoredCall> RecordRecoveredCalls(const std::vector<TStoredCall>& stored);
