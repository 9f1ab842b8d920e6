#pragma once

#include "data/ChangeListeners.h"
#include "data/TableRow.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TCsvRows;

// What changed in the phone book: an entry saved (as stored) or entries
// deleted (their numbers); many entries at once (Reloaded); the state of
// the office's book (Office: its version, the edits not yet confirmed).
struct TPhoneBookChange {
  enum class TKind { Saved, Deleted, Reloaded, Office };
  TKind Kind;
  const TTableRow* Entry = nullptr;
  std::vector<std::string> Numbers;
  // Saved by another desk of the office, not here.
  bool FromOffice = false;
};

// An edit of the book as stored: the entries saved (Save, Import,
// Register) or the numbers deleted (Delete).
struct TBookEdit {
  enum class TKind { Save, Delete, Import, Register };
  TKind Kind = TKind::Save;
  std::vector<TTableRow> Entries;
  std::vector<std::string> Numbers;
};

// The office's book as this copy follows it: its station ("" for a book of
// this PC's own), the version applied here, and this desk's edits the book
// station has not confirmed yet.
struct TOfficeBookState {
  std::string Book;
  int64_t Version = 0;
  int Unconfirmed = 0;
};

// What an import did: the records read, and whether some were skipped for
// the limit or for a number that is not one; records refused for the
// entry's limits (BookEntryRules.h), with the first one's reason.
struct TImportResult {
  int Records = 0;
  bool LimitHit = false;
  bool InvalidSeen = false;
  int Refused = 0;
  std::string FirstRefusal;
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
  // Why the book cannot store `entry` (its number, name, memos or command
  // break the entry's limits), in Japanese; "" when it can. Save, Import and
  // Register refuse such an entry: none is ever half written.
  static std::string Problem(const TTableRow& entry);

  // Stores `entry` in one transaction (or the one open), in place of a stored entry of its
  // number, whose created_date and last_incoming_date it keeps;
  // last_updated (and created_date of a new entry) become now. `entry`
  // receives the dates.
  void Save(TTableRow& entry);
  // Reads a CSV file of number, name, three memos and command, and stores
  // each valid record as Save does, all in one transaction: all or nothing.
  // New numbers beyond `limit` are skipped.
  TImportResult ImportFile(const std::string& fileName, int limit);
  // The same for records read already. With `keepCommands`, a stored
  // entry's command stays and a new one gets none.
  TImportResult Import(const TCsvRows& records, int limit, bool keepCommands);
  // Writes the whole book to a CSV file as the phone list exports it.
  void ExportFile(const std::string& fileName);
  // Deletes the entries of these numbers in one transaction (or the one open).
  // An import or a delete reaches the edit hook in edits of at most MaxEditEntries.
  void Delete(const std::vector<std::string>& numbers);

  // The call path: a new number's entry as given (the caller has seen that
  // the book is not full and that Problem is ""), and the date a number
  // last called.
  void Register(const TTableRow& entry);
  void SetLastIncomingDate(const std::string& number, const std::string& dateText);
  // The same for a call recorded late: an entry's later date stays.
  void RaiseLastIncomingDate(const std::string& number, const std::string& dateText);

  // Each edit above, given to `hook` inside its transaction before the
  // commit (a hook that throws undoes the edit); null: none.
  void SetEditHook(std::function<void(const TBookEdit&)> hook) { editHook_ = std::move(hook); }
  const std::function<void(const TBookEdit&)>& EditHook() const { return editHook_; }
  // While true, the edits above are another desk's, applied here for the
  // office: the listeners are told so.
  void SetEditsFromOffice(bool fromOffice) { editsFromOffice_ = fromOffice; }
  // An edit the office's book made elsewhere: the entries take its name,
  // memos and dates and keep their own command and last incoming date; then
  // `also` runs, all in one transaction. No edit hook runs.
  void ApplyOffice(const TBookEdit& edit, const std::function<void()>& also);
  TOfficeBookState OfficeState();
  // This PC's book is its own again; its edits not yet confirmed are dropped.
  void LeaveOffice();
  // Tells the listeners that many entries changed, or the office's state.
  void Reloaded();
  void OfficeChanged();

  [[nodiscard]] TListening Listen(TChangeListeners<TPhoneBookChange>::TListener listener) {
    return listeners_.Listen(std::move(listener));
  }

private:
  void Edited(const TBookEdit& edit) const;
  void EditedInParts(TBookEdit& edit) const;

  TChangeListeners<TPhoneBookChange> listeners_;
  std::function<void(const TBookEdit&)> editHook_;
  bool editsFromOffice_ = false;
};

// The program's phone book.
TPhoneBook& PhoneBook();
