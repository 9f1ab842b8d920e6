#pragma once

#include "data/CallHistory.h"

#include <cstdint>
#include <string>
#include <vector>

// A write the database could not take yet: a call (kind 2) or a hook state
// of a call (3 answered, 4 hung up, 5 not answered), the call named by its
// date and number.
struct TPendingRecord {
  uint8_t Kind = 2;
  TCallIdentity Call;
  // The ring seconds of an answer, the talk seconds of a hang-up.
  int Seconds = 0;
};

// The pending writes kept on disk, so that the program ending before the
// database takes them loses none: "teloria2.pending" in the program folder,
// private to the user, one line per record, each on the disk before Append
// returns. A last line cut short by a crash is ignored.

// False when the record could not be kept (a full disk, say).
bool AppendPendingRecord(const TPendingRecord& record);
// The records in the order they were added; unreadable lines are logged and
// skipped.
std::vector<TPendingRecord> ReadPendingRecords();
// Once every pending write is done.
void ClearPendingRecords();
