#pragma once

#include "data/SQLiteDatabase.h"
#include "data/TableRow.h"
#include "data/Transaction.h"

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

// The call database: phone book (phone_numbers), incoming-call history
// (incoming_numbers) and schema version (version_info). Every operation is
// one fixed statement; SQL failures raise ESQLiteException. Rows and lists
// returned belong to the caller; a lookup that finds nothing gives nullptr.
class TKsoCtiDb {
public:
  explicit TKsoCtiDb(const std::string& fileName);

  void BeginTransaction() { db_.BeginTransaction(); }
  void Commit() { db_.Commit(); }
  void Rollback() { db_.Rollback(); }
  bool InTransaction() const { return db_.InTransaction(); }
  // A transaction that rolls back unless committed.
  TTransaction Transaction() { return TTransaction(db_); }
  // How long a statement waits for a lock held by another program.
  void SetBusyTimeout(int milliseconds) { db_.SetBusyTimeout(milliseconds); }
  int BusyTimeout() const { return db_.BusyTimeout(); }

  std::unique_ptr<TTableRow> GetVersionInfo();
  // Brings an older database to the program's schema; nothing for a current one.
  void UpgradeSchema();

  std::unique_ptr<TTableRow> FindPhoneNumber(const std::string& phoneNumber);
  bool PhoneNumberExists(const std::string& phoneNumber);
  std::unique_ptr<TTableRows> GetPhoneNumbers();
  std::unique_ptr<TTableRows> SearchPhoneNumbers(const std::string& text);
  // The entries whose number, name, memos or command hold the trimmed text
  // itself (ASCII letters in either case), newest created first.
  std::unique_ptr<TTableRows> FindPhoneNumbersHolding(const std::string& text);
  // -1 when the count cannot be read as an integer.
  int GetPhoneNumberCount();
  void DeletePhoneNumber(const std::string& phoneNumber);
  void InsertPhoneNumber(const TTableRow& row);
  void UpdateLastIncomingDate(const std::string& phoneNumber, const std::string& dateText);
  // The same, unless the stored date is later.
  void RaiseLastIncomingDate(const std::string& phoneNumber, const std::string& dateText);

  // After the stored calls and the orders reserved: 1 for an empty history;
  // wraps to 1 after 999999999.
  int GetNextIncomingOrder();
  // The next incoming_order, kept for a call whose row is added later: no
  // other row of this connection is given it meanwhile.
  int ReserveIncomingOrder();
  // Returns the incoming_order given to the call.
  int AddIncoming(const std::string& phoneNumber, const std::string& dateText);
  // The call under an incoming_order given to it beforehand; a row that
  // took that order meanwhile (another program) makes it the next one.
  // Returns the order given.
  int AddIncoming(const std::string& phoneNumber, const std::string& dateText, int order);
  // incoming_order and incoming_date of the call last added with this
  // number and date, or nullptr.
  std::unique_ptr<TTableRow> FindIncoming(const std::string& phoneNumber,
                                          const std::string& dateText);
  void SetIncomingAnswered(int order, const std::string& dateText, int offhookSeconds);
  void SetIncomingHungUp(int order, const std::string& dateText, int onhookSeconds);
  void SetIncomingNotAnswered(int order, const std::string& dateText);
  std::unique_ptr<TTableRows> GetIncomingList(int limit);
  void DeleteIncoming(int order, const std::string& dateText);
  // Keeps the newest limit calls; all or nothing.
  void TrimIncoming(int limit);

  // A call of another station (`station`), its row holding the station's
  // incoming_order and incoming_date, phone_number, and its outcome (state,
  // connected, offhook_seconds, onhook_seconds). Added once: a call stored
  // already takes the outcome unless its own is further on (state). Returns
  // the incoming_order of the row here; `added` tells whether it is new.
  int AddStationIncoming(const std::string& station, const TTableRow& call, bool& added);
  // The station's order and date of the newest of its calls that ended
  // here (station_order, station_date), or nullptr.
  std::unique_ptr<TTableRow> GetShareMark(const std::string& station);
  // The date of the newest call of this PC ("" without one).
  std::string GetNewestOwnIncomingDate();
  // Among this PC's newest `window` calls, the first `count` after the key
  // (by date, then order), oldest first, with the phone book's name and memos.
  std::unique_ptr<TTableRows> GetOwnIncomingAfter(int order, const std::string& dateText, int count,
                                                  int window);

  // The adapter's own memory. This PC's own calls dated from `from` to `to`
  // (incoming_order, incoming_date, phone_number, state), oldest first,
  // with those deleted from the history since (order 0, state 3).
  std::unique_ptr<TTableRows> GetOwnIncomingBetween(const std::string& from, const std::string& to);
  // The fingerprints of the memory records read before; a new one is kept
  // with the `keep` newest.
  std::vector<std::string> GetMemoryRecordMarks();
  void AddMemoryRecordMark(const std::string& fingerprint, int keep);

  // The office's phone book. The book this copy follows ("" for none), its
  // version applied here and this database's token.
  std::unique_ptr<TTableRow> GetBookState();
  void SetBookState(const std::string& book, int64_t version);
  // The book station: a change it applied, the `keep` newest kept; the first
  // `count` after a version (version, change), oldest first; the oldest kept
  // (0 for none).
  void AddBookChange(int64_t version, const std::string& change, int64_t keep);
  std::unique_ptr<TTableRows> GetBookChangesAfter(int64_t version, int count);
  int64_t GetOldestBookChange();
  void ClearBookChanges();
  // The book station: the last edit of a desk it applied (-1: none yet).
  int64_t GetBookDeskSeq(const std::string& desk);
  void SetBookDeskSeq(const std::string& desk, int64_t seq);
  // A desk: its edits of a book not yet confirmed (seq, change), in order.
  int64_t AddBookOutbox(const std::string& book, const std::string& change);
  std::unique_ptr<TTableRows> GetBookOutbox(const std::string& book);
  int GetBookOutboxCount(const std::string& book);
  void DeleteBookOutboxUpTo(int64_t seq);
  void ClearBookOutbox();
  // The first `count` entries after a number, by number.
  std::unique_ptr<TTableRows> GetPhoneNumbersAfter(const std::string& number, int count);

private:
  std::unique_ptr<TTableRow> QueryRow(const std::string& sql);
  std::unique_ptr<TTableRows> QueryRows(const std::string& sql, const TSQLiteParams& params = {});
  // Text of the first column of the first row ("" without rows).
  std::string FirstValueText(const std::string& sql);
  void DeleteUnmarkedIncoming(const TTableRows& keep);

  TSQLiteDatabase db_;
  // Orders given out for rows not yet added.
  std::set<int> reservedOrders_;
};

// The one call database of the program, created by start-up.
extern std::unique_ptr<TKsoCtiDb> CtiDb;

// ProgramFolder() + "/teloria2.db3".
std::string CtiDbFileName();
bool DatabaseFileExists();
// Copies the shipped template to the database file unless that exists.
// False when the target already exists, the template is missing or is not an
// SQLite database, or the copy fails; never leaves a partial database behind.
bool CreateDatabaseFromTemplate();
// Why the database file cannot serve as the call database: not a regular
// file, empty, not SQLite, unreadable; it, its folder or a log of SQLite's
// beside it (-wal, -shm, -journal) not writable, or such a log not a file of
// the user's; damaged (SQLite's quick check); or without a table or column
// the program uses. Empty when it can serve. Only reads: nothing of the file,
// and nothing beside it, is changed or created (but the shared index of a
// log left without one, which SQLite needs to read the log).
std::string DatabaseFileProblem();
// Opens a call database, its schema brought up to date.
std::unique_ptr<TKsoCtiDb> OpenCtiDb(const std::string& fileName);
// Opens the database file into CtiDb.
void CreateCtiDb();

// The incoming_order that follows `order`: 1 after 999999999.
int FollowingIncomingOrder(int order);

// An SQL text literal: the text between single quotes, each quote doubled.
std::string SqlQuote(std::string_view text);
// Now() as "yyyy/mm/dd hh:nn:ss.zzz", the only form dates are stored in.
std::string NowDateText();
