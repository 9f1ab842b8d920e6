#pragma once

#include "data/TableRow.h"

#include <memory>
#include <string>

// The step of a call's registration that failed, named in the log.
enum class TCallStep { AddHistoryRow, FindEntry, AddEntry, UpdateLastIncoming };

// The phone book's side of a recorded call.
struct TCallerEntry {
  // The caller's entry, or the number alone for a caller it does not hold.
  std::unique_ptr<TTableRow> Row;
  // Found there, or registered now.
  bool InPhoneBook = false;
  bool Registered = false;
};

// A caller without a phone-book entry: the number and the call's date, and
// what the sending station's book (`senderEntry`, may be null) says of it.
std::unique_ptr<TTableRow> NewCallerRow(const std::string& number, const std::string& when,
                                        const TTableRow* senderEntry);

// Finds the caller of a call at `when` in the phone book, registers a new
// caller while the book has room (PhoneLimit) and raises the entry's last
// call date to the call's, never lowering it: calls may be written out of
// their order. Runs inside the call's transaction; `step` tells where it
// was when it throws.
TCallerEntry RegisterCaller(const std::string& number, const std::string& when,
                            const TTableRow* senderEntry, TCallStep& step);

// Registers a new caller's entry unless the book refuses it (its number,
// name or memos, such as another station's, break the entry's limits):
// that is logged, and the call goes on without an entry. True: registered.
bool RegisterNewCaller(const TTableRow& entry);
