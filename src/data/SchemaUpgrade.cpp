// The changes of later schema versions, made at start on an older database
// and by the build on the shipped template.
#include "data/KsoCtiDb.h"

#include <span>
#include <string>

namespace {

// Version 2: calls received from other stations. Such a call keeps the
// station's name and its incoming_order there; with the station's
// incoming_date, which becomes this row's, that is the call's key, so no
// call of another station is ever recorded twice. This PC's own calls have
// no station. share_marks keeps, per station, the newest of its calls that
// ended here: a desk asks the station for the calls after it. It is kept
// apart from the history, so that calls deleted or trimmed never come back,
// and the triggers keep it whoever writes a call's end.

// What both triggers do with a call that ended: its key becomes the
// station's mark unless the mark is further on (by `first`, then `second`).
std::string MarkEndedCall(const std::string& first, const std::string& second) {
  return " WHEN NEW.station IS NOT NULL AND NEW.state = 2 BEGIN"
         " INSERT INTO share_marks VALUES (NEW.station, NEW.station_order, NEW.incoming_date)"
         " ON CONFLICT (station) DO UPDATE SET station_order = excluded.station_order,"
         " station_date = excluded.station_date"
         " WHERE (excluded." +
         first + ", excluded." + second + ") > (" + first + ", " + second + "); END";
}

const std::string kMarkEndedCall = MarkEndedCall("station_date", "station_order");

const std::string kVersion2[] = {
    "ALTER TABLE incoming_numbers ADD COLUMN station TEXT",
    "ALTER TABLE incoming_numbers ADD COLUMN station_order INTEGER",
    "CREATE UNIQUE INDEX incoming_numbers_station"
    " ON incoming_numbers (station, station_order, incoming_date)",
    "CREATE TABLE share_marks (station TEXT NOT NULL PRIMARY KEY,"
    " station_order INTEGER NOT NULL, station_date TEXT NOT NULL)",
    "CREATE TRIGGER share_marks_insert AFTER INSERT ON incoming_numbers" + kMarkEndedCall,
    "CREATE TRIGGER share_marks_update AFTER UPDATE OF state ON incoming_numbers" + kMarkEndedCall,
    "INSERT INTO version_info (version_no, note) VALUES (2, 'Teloria II schema 2')",
};

// Version 3: one phone book for the office. book_state names the book this
// copy follows (its station; "" for a book of this PC's own), the version of
// it applied here and a token that tells this database's edits from those of
// an earlier one of the same station. The book station keeps the changes it
// applied (book_changes, for desks catching up) and the last edit it applied
// of each desk (book_desks); a desk keeps its edits the book station has not
// confirmed yet (book_outbox), in order.
const std::string kVersion3[] = {
    "CREATE TABLE book_state (book TEXT NOT NULL, version INTEGER NOT NULL, token TEXT NOT NULL)",
    "INSERT INTO book_state VALUES ('', 0, '')",
    "CREATE TABLE book_changes (version INTEGER NOT NULL PRIMARY KEY, change TEXT NOT NULL)",
    "CREATE TABLE book_desks (desk TEXT NOT NULL PRIMARY KEY, seq INTEGER NOT NULL)",
    "CREATE TABLE book_outbox (seq INTEGER PRIMARY KEY AUTOINCREMENT, book TEXT NOT NULL,"
    " change TEXT NOT NULL)",
    "INSERT INTO version_info (version_no, note) VALUES (3, 'Teloria II schema 3')",
};

// Version 4: the fingerprints of the adapter's memory records read before
// (number, both date-times and outcome), so that a stored call is added to
// the history at most once; and this PC's own calls deleted from the
// history (by the user or the limit), the newest thousand, so that the
// adapter's record of one, never read yet, does not bring it back.
const std::string kVersion4[] = {
    "CREATE TABLE memory_records (fingerprint TEXT NOT NULL PRIMARY KEY)",
    "CREATE TABLE memory_deleted (phone_number TEXT, incoming_date TEXT NOT NULL)",
    "CREATE TRIGGER memory_deleted_calls AFTER DELETE ON incoming_numbers"
    " WHEN OLD.station IS NULL BEGIN"
    " INSERT INTO memory_deleted VALUES (OLD.phone_number, OLD.incoming_date);"
    " DELETE FROM memory_deleted WHERE rowid <= (SELECT max(rowid) FROM memory_deleted) - 1000;"
    " END",
    "INSERT INTO version_info (version_no, note) VALUES (4, 'Teloria II schema 4')",
};

// Version 5: the office's identities and a station's order.
// book_id is the id of the book this copy follows (made by the book station
// when it begins a book; "" until known); home tells where the token was
// made (see KeepBookIdentity), so that a copy of the file gets a token of its
// own; published is the last version the book station sent. A station's mark
// is the last of its calls by the station's order, not by date: a call the
// station recovers from its adapter's memory later, though older, comes after
// it, and desks ask for calls by order.
const std::string kMarkEndedCallByOrder = MarkEndedCall("station_order", "station_date");

const std::string kVersion5[] = {
    "ALTER TABLE book_state ADD COLUMN book_id TEXT NOT NULL DEFAULT ''",
    "ALTER TABLE book_state ADD COLUMN home TEXT NOT NULL DEFAULT ''",
    "ALTER TABLE book_state ADD COLUMN published INTEGER NOT NULL DEFAULT 0",
    "UPDATE book_state SET published = version",
    "DROP TRIGGER share_marks_insert",
    "DROP TRIGGER share_marks_update",
    "CREATE TRIGGER share_marks_insert AFTER INSERT ON incoming_numbers" + kMarkEndedCallByOrder,
    "CREATE TRIGGER share_marks_update AFTER UPDATE OF state ON incoming_numbers" +
        kMarkEndedCallByOrder,
    "INSERT INTO version_info (version_no, note) VALUES (5, 'Teloria II schema 5')",
};

void Run(TSQLiteDatabase& db, std::span<const std::string> statements) {
  TTransaction transaction(db);
  for (const std::string& statement : statements)
    db.Execute(statement);
  transaction.Commit();
}

} // namespace

// A file without the history is no database of ours: its first use says so.
void TKsoCtiDb::UpgradeSchema() {
  if (FirstValueText("SELECT count(*) FROM pragma_table_info('incoming_numbers')") == "0")
    return;
  if (FirstValueText("SELECT count(*) FROM pragma_table_info('incoming_numbers')"
                     " WHERE name = 'station'") == "0")
    Run(db_, kVersion2);
  if (FirstValueText("SELECT count(*) FROM sqlite_master WHERE name = 'book_state'") == "0")
    Run(db_, kVersion3);
  if (FirstValueText("SELECT count(*) FROM sqlite_master WHERE name = 'memory_records'") == "0")
    Run(db_, kVersion4);
  if (FirstValueText("SELECT count(*) FROM version_info WHERE version_no = 5") == "0")
    Run(db_, kVersion5);
}
