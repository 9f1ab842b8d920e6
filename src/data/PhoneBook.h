#pragma once

#include "data/ChangeListeners.h"
#include "data/TableRow.h"

#include <memory>
#include <string>
#include <vector>

// What changed in the phone book: an entry saved (as stored) or entries
// deleted (their numbers).
struct TPhoneBookChange {
  enum class TKind { Saved, Deleted };
  TKind Kind;
  const TTableRow* Entry = nullptr;
  std::vector<std::string> Numbers;
};

// What an import did: the records read, and whether some were skipped for
// the limit or for a number that is not one.
struct TImportResult {
  int Records = 0;
  bool LimitHit = false;
  bool InvalidSeen = false;
};

// The phone book of CtiDb: its rules, its limit and its transactions. The
// windows change the book only here and hear of each change through Listen.
// The call path registers numbers and their last incoming date here too; it
// tells the windows itself, when the design wants them told.
class TPhoneBook {
public:
  // The whole book (newest edit first) for an empty text; otherwise the
  // entries whose number, name, memos or command hold the trimmed text
  // itself, ASCII letters in either case, newest created first.
  std::unique_ptr<TTableRows> Search(const std::string& text);
  // Whether an entry belongs to a list narrowed by `filter`: a case-sensitive
  // substring of its number, name, memos or command; every entry for "".
  static bool Matches(const TTableRow& entry, const std::string& filter);
  std::unique_ptr<TTableRow> Find(const std::string& number);
  // -1 when the count cannot be read.
  int Count();
  // A book of `limit` entries takes no new number.
  bool IsFull(int limit);
  // A stored number may always be saved again; a new one only below `limit`.
  bool HasRoomFor(const std::string& number, int limit);

  // Stores `entry` in one transaction, in place of a stored entry of its
  // number, whose created_date and last_incoming_date it keeps;
  // last_updated (and created_date of a new entry) become now. `entry`
  // receives the dates.
  void Save(TTableRow& entry);
  // Reads a CSV file of number, name, three memos and command, and stores
  // each valid record as Save does, all in one transaction: all or nothing.
  // New numbers beyond `limit` are skipped.
  TImportResult ImportFile(const std::string& fileName, int limit);
  // Deletes the entries of these numbers in one transaction.
  void Delete(const std::vector<std::string>& numbers);

  // The call path: a new number's entry as given (the caller has seen that
  // the book is not full), and the date a number last called.
  void Register(const TTableRow& entry);
  void SetLastIncomingDate(const std::string& number, const std::string& dateText);
  // The same for a call recorded late: an entry's later date stays.
  void RaiseLastIncomingDate(const std::string& number, const std::string& dateText);

  [[nodiscard]] TListening Listen(TChangeListeners<TPhoneBookChange>::TListener listener) {
    return listeners_.Listen(std::move(listener));
  }

private:
  TChangeListeners<TPhoneBookChange> listeners_;
};

// The program's phone book.
TPhoneBook& PhoneBook();
