#pragma once

#include "data/CallHistory.h"

#include <cstdint>
#include <string>
#include <string_view>
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

// Writes the hook state a record (kind 3 to 5) holds into the call's row.
void WriteHookState(const TCallKey& call, const TPendingRecord& record);

// The record as one line of the journal, its line break included:
// "<kind> TAB <date> TAB <number> TAB <seconds>", "%" and control
// characters as "%XX".
std::string PendingRecordLine(const TPendingRecord& record);

// What a journal's bytes hold. They end at the first NUL byte (the room
// kept for later records); what follows the last line break before it is
// a line cut short by the end of the program.
struct TPendingContent {
  std::vector<TPendingRecord> Records;
  // Lines that are no record, or one the program would never have written
  // (a field the adapter cannot send): line number and the line as read,
  // control characters as "%XX".
  struct TRefusedLine {
    int Line = 0;
    std::string Text;
  };
  std::vector<TRefusedLine> Refused;
  // The bytes up to the last whole line: where the next record goes.
  size_t End = 0;
  // Bytes after End before the first NUL: a cut line.
  bool CutShort = false;
};
TPendingContent ParsePendingContent(std::string_view bytes);
