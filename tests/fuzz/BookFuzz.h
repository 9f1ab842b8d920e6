#pragma once

// What every book message read from any bytes must satisfy: its entries and
// numbers within the phone book's own limits, at most MaxEditEntries of
// each, and the same again once written out and read back. Anything refused
// is refused with ECallMessageError; any other exception is a finding.
#include "FuzzSupport.h"
#include "base/BookEntryRules.h"
#include "share/BookMessages.h"
#include "share/CallMessage.h"
#include "share/ShareExchange.h"

inline void CheckEntry(const TBookEntry& e) {
  Check(NumberProblem(e.Number).empty());
  for (const std::string* text : {&e.OwnerName, &e.Memo1, &e.Memo2, &e.Memo3})
    Check(EntryTextProblem("", *text).empty());
  Check(BookEntryOf(BookEntryJson(e)) == e);
}

inline void CheckChange(TBookChange change) {
  Check(change.Entries.size() <= MaxEditEntries && change.Numbers.size() <= MaxEditEntries);
  for (const TBookEntry& e : change.Entries)
    CheckEntry(e);
  for (const std::string& number : change.Numbers)
    Check(NumberProblem(number).empty());
  change.Skipped.clear();
  Check(BookChangeOf(BookChangeJson(change)) == change);
}

template <typename Fn> void Refusable(Fn fn) {
  try {
    fn();
  } catch (const ECallMessageError&) {
  }
}
