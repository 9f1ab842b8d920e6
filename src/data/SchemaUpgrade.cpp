// The changes of later schema versions, made at start on an older database
// and by the build on the shipped template.
#include "data/KsoCtiDb.h"

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
// station's mark unless the mark is newer.
const std::string kMarkEndedCall =
    " WHEN NEW.station IS NOT NULL AND NEW.state = 2 BEGIN"
    " INSERT INTO share_marks VALUES (NEW.station, NEW.station_order, NEW.incoming_date)"
    " ON CONFLICT (station) DO UPDATE SET station_order = excluded.station_order,"
    " station_date = excluded.station_date"
    " WHERE (excluded.station_date, excluded.station_order) > (station_date, station_order);"
    " END";

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

} // namespace

// A file without the history is no database of ours: its first use says so.
void TKsoCtiDb::UpgradeSchema() {
  if (FirstValueText("SELECT count(*) = 0 OR sum(name = 'station') > 0"
                     " FROM pragma_table_info('incoming_numbers')") == "1")
    return;
  TTransaction transaction(db_);
  for (const std::string& statement : kVersion2)
    db_.Execute(statement);
  transaction.Commit();
}
