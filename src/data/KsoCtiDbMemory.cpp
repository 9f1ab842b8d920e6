// The statements of the catch-up from the adapter's own memory.
#include "data/KsoCtiDb.h"

// Calls deleted from the history come with state 3.
std::unique_ptr<TTableRows> TKsoCtiDb::GetOwnIncomingBetween(const std::string& from,
                                                             const std::string& to) {
  return QueryRows("SELECT incoming_order, incoming_date, phone_number, state"
                   " FROM incoming_numbers WHERE station IS NULL"
                   " AND incoming_date >= ?1 AND incoming_date <= ?2"
                   " UNION ALL SELECT 0, incoming_date, phone_number, 3 FROM memory_deleted"
                   " WHERE incoming_date >= ?1 AND incoming_date <= ?2"
                   " ORDER BY incoming_date, incoming_order",
                   {from, to});
}

std::vector<std::string> TKsoCtiDb::GetMemoryRecordMarks() {
  const std::unique_ptr<TTableRows> rows = QueryRows("SELECT fingerprint FROM memory_records");
  std::vector<std::string> marks;
  for (int i = 0; i < rows->Count(); ++i)
    marks.push_back((*rows)[i].GetValue("fingerprint"));
  return marks;
}

void TKsoCtiDb::AddMemoryRecordMark(const std::string& fingerprint, int keep) {
  db_.Execute("INSERT OR IGNORE INTO memory_records (fingerprint) VALUES (?1)", {fingerprint});
  db_.Execute(
      "DELETE FROM memory_records WHERE rowid <= (SELECT max(rowid) FROM memory_records) - ?1",
      {static_cast<std::int64_t>(keep)});
}
