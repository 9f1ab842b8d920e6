#pragma once

#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/DateTime.h"
#include "common2/MirelKT5ReceivePacket.h"
#include "data/CallHistory.h"

// One call kept in the adapter's own memory.
struct TStoredCall {
  // The number, both date-times and the outcome: what tells one record from
  // every other, however often the memory is read.
  std::string Fingerprint;
  std::string Number;
  // Whole minutes by the adapter's clock.
  TDateTime Incoming = 0;
  // When it was answered or ended unanswered; 0 when the record does not say.
  TDateTime Ended = 0;
  bool Answered = false;
  bool Unanswered = false;

  // Seconds it rang before it was answered: whole minutes, 0 when unknown.
  int RingSeconds() const;
};

// A call of this PC's own history that a stored call may be; one deleted
// from the history (by the user or the limit) still takes its record.
struct THistoryCall {
  static constexpr int Deleted = 3;
  TCallKey Key;
  std::string Number;
  TDateTime Date = 0;
  int State = 0;
};

// What one reading of the memory changes.
struct TCatchUpPlan {
  // Calls the history lacks, oldest first.
  std::vector<TStoredCall> Add;
  // Calls the history holds as not ended, with the stored call's outcome.
  std::vector<std::pair<THistoryCall, TStoredCall>> Finish;
  // The fingerprint of every record considered, so that none is again.
  std::vector<std::string> Seen;
};

// What tells a stored call from every other: its number, both date-times
// (by the adapter's clock) and its outcome.
std::string StoredCallFingerprint(const std::string& number, TDateTime incoming, TDateTime ended,
                                  bool answered, bool unanswered);

// The stored call of a memory-record packet; none for an empty record or
// one whose incoming date does not decode.
std::optional<TStoredCall> StoredCallOf(const TKT5MirelKT5ReceivePacket& packet);

// How far a history call's date may lie from its record's minute: the
// adapter's clock may be up to a minute off the PC's.
bool WithinRecordMinute(TDateTime recordMinute, TDateTime historyDate);

// Matches the stored calls with the history's calls around their dates (one
// history call to at most one record, same number) and decides what to add
// and what to finish. Records seen before (`known`) change nothing but still
// take their history call, and finish it when it is still open. The first reading ever (`known`
// empty: no fingerprint, not even of an empty memory) adds only calls newer than `newestCall` (0:
// the history is empty).
TCatchUpPlan PlanCatchUp(std::vector<TStoredCall> stored, const std::vector<THistoryCall>& history,
                         const std::set<std::string>& known, TDateTime newestCall);
