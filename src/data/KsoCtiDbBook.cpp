// The statements of the office's one phone book.
#include "data/KsoCtiDb.h"

#include <charconv>

namespace {

int64_t Int64Of(const TTableRows& rows) {
  int64_t value = 0;
  if (rows.Count() > 0) {
    const std::string text = rows[0].GetValue("n");
    std::from_chars(text.data(), text.data() + text.size(), value);
  }
  return value;
}

} // namespace

std::unique_ptr<TTableRow> TKsoCtiDb::GetBookState() {
  return QueryRow("SELECT book, version, token, book_id, home, published FROM book_state");
}

void TKsoCtiDb::SetBookState(const std::string& book, int64_t version) {
  db_.Execute("UPDATE book_state SET book = ?1, version = ?2", {book, version});
}

void TKsoCtiDb::SetBookId(const std::string& bookId) {
  db_.Execute("UPDATE book_state SET book_id = ?1", {bookId});
}

void TKsoCtiDb::SetBookPublished(int64_t version) {
  db_.Execute("UPDATE book_state SET published = ?1", {version});
}

bool TKsoCtiDb::KeepBookIdentity(const std::string& home) {
  // A file without the book's tables is no database of ours: its first use says so.
  if (FirstValueText("SELECT count(*) FROM sqlite_master WHERE name = 'book_state'") == "0")
    return false;
  const std::unique_ptr<TTableRow> state = GetBookState();
  if (state && state->GetValue("home") == home && !state->GetValue("token").empty())
    return false;
  RenewBookToken(home);
  return true;
}

void TKsoCtiDb::RenewBookToken(const std::string& home) {
  TTransaction transaction(db_);
  db_.Execute("UPDATE book_state SET token = lower(hex(randomblob(8))), book_id = '', home = ?1",
              {home});
  // Negative first: no seq is ever taken twice on the way.
  db_.Execute("UPDATE book_outbox SET seq = -seq");
  db_.Execute("UPDATE book_outbox SET seq = (SELECT max(seq) FROM book_outbox) - seq + 1");
  db_.Execute("UPDATE sqlite_sequence SET seq = (SELECT coalesce(max(seq), 0) FROM book_outbox)"
              " WHERE name = 'book_outbox'");
  transaction.Commit();
}

void TKsoCtiDb::AddBookChange(int64_t version, const std::string& change, int64_t keep) {
  db_.Execute("INSERT INTO book_changes (version, change) VALUES (?1, ?2)", {version, change});
  db_.Execute("DELETE FROM book_changes WHERE version <= ?1", {version - keep});
}

std::unique_ptr<TTableRows> TKsoCtiDb::GetBookChangesAfter(int64_t version, int count) {
  return QueryRows("SELECT version, change FROM book_changes WHERE version > ?1"
                   " ORDER BY version LIMIT ?2",
                   {version, int64_t{count}});
}

int64_t TKsoCtiDb::GetOldestBookChange() {
  return Int64Of(*QueryRows("SELECT coalesce(min(version), 0) AS n FROM book_changes"));
}

void TKsoCtiDb::ClearBookChanges() {
  db_.Execute("DELETE FROM book_changes");
  db_.Execute("DELETE FROM book_desks");
}

int64_t TKsoCtiDb::GetBookDeskSeq(const std::string& desk) {
  return Int64Of(
      *QueryRows("SELECT coalesce(max(seq), -1) AS n FROM book_desks WHERE desk = ?1", {desk}));
}

void TKsoCtiDb::SetBookDeskSeq(const std::string& desk, int64_t seq) {
  db_.Execute("INSERT INTO book_desks (desk, seq) VALUES (?1, ?2)"
              " ON CONFLICT (desk) DO UPDATE SET seq = excluded.seq",
              {desk, seq});
}

int64_t TKsoCtiDb::AddBookOutbox(const std::string& book, const std::string& change) {
  db_.Execute("INSERT INTO book_outbox (book, change) VALUES (?1, ?2)", {book, change});
  return Int64Of(*QueryRows("SELECT max(seq) AS n FROM book_outbox"));
}

std::unique_ptr<TTableRows> TKsoCtiDb::GetBookOutbox(const std::string& book) {
  return QueryRows("SELECT seq, change FROM book_outbox WHERE book = ?1 ORDER BY seq", {book});
}

int TKsoCtiDb::GetBookOutboxCount(const std::string& book) {
  return static_cast<int>(
      Int64Of(*QueryRows("SELECT count(*) AS n FROM book_outbox WHERE book = ?1", {book})));
}

void TKsoCtiDb::DeleteBookOutboxUpTo(int64_t seq) {
  db_.Execute("DELETE FROM book_outbox WHERE seq <= ?1", {seq});
}

int64_t TKsoCtiDb::GetBookOutboxTop() {
  return Int64Of(*QueryRows("SELECT coalesce((SELECT seq FROM sqlite_sequence"
                            " WHERE name = 'book_outbox'), 0) AS n"));
}

void TKsoCtiDb::ClearBookOutbox() {
  db_.Execute("DELETE FROM book_outbox");
}

std::unique_ptr<TTableRows> TKsoCtiDb::GetPhoneNumbersAfter(const std::string& number, int count) {
  return QueryRows("SELECT * FROM phone_numbers WHERE phone_number > ?1"
                   " ORDER BY phone_number LIMIT ?2",
                   {number, int64_t{count}});
}
