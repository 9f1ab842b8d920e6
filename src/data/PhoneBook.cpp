#include "data/PhoneBook.h"

#include "base/Text.h"
#include "data/CsvFileLoader.h"
#include "data/KsoCtiDb.h"
#include "data/NumberRules.h"

#include <algorithm>

namespace {

// The entry columns a search looks at, in the order they are tested.
const char* const SearchedColumns[] = {"phone_number", "owner_name", "memo1",
                                       "memo2",        "memo3",      "exec_cmd"};
// The columns an import record gives after the number, in file order.
const char* const ImportedColumns[] = {"owner_name", "memo1", "memo2", "memo3", "exec_cmd"};

TKsoCtiDb& Db() {
  if (!CtiDb)
    throw Exception("データベースが開かれていません。");
  return *CtiDb;
}

// The one limit rule: a book holding `limit` entries takes no new number.
bool Full(int count, int limit) {
  return count >= limit;
}

// Puts `entry` in place of `stored` (null: a new number), keeping the dates
// the stored entry knew.
void Store(TKsoCtiDb& db, TTableRow& entry, const TTableRow* stored, const std::string& now) {
  if (stored != nullptr) {
    entry.SetValue("created_date", stored->GetValue("created_date"));
    entry.SetValue("last_incoming_date", stored->GetValue("last_incoming_date"));
    db.DeletePhoneNumber(entry.GetValue("phone_number"));
  } else {
    entry.SetValue("created_date", now);
  }
  entry.SetValue("last_updated", now);
  db.InsertPhoneNumber(entry);
}

TTableRow ImportedEntry(const std::string& number, const TCsvRow& record) {
  TTableRow entry;
  entry.SetValue("phone_number", number);
  int field = 1;
  for (const char* column : ImportedColumns)
    entry.SetValue(column, record.GetField(field++));
  return entry;
}

} // namespace

std::unique_ptr<TTableRows> TPhoneBook::Search(const std::string& text) {
  if (Trim(text).empty())
    return Db().GetPhoneNumbers();
  return Db().FindPhoneNumbersHolding(text);
}

bool TPhoneBook::Matches(const TTableRow& entry, const std::string& filter) {
  return filter.empty() ||
         std::any_of(std::begin(SearchedColumns), std::end(SearchedColumns),
                     [&](const char* column) {
                       return entry.GetValue(column).find(filter) != std::string::npos;
                     });
}

std::unique_ptr<TTableRow> TPhoneBook::Find(const std::string& number) {
  return Db().FindPhoneNumber(number);
}

int TPhoneBook::Count() {
  return Db().GetPhoneNumberCount();
}

bool TPhoneBook::IsFull(int limit) {
  return Full(Count(), limit);
}

bool TPhoneBook::HasRoomFor(const std::string& number, int limit) {
  return Db().PhoneNumberExists(number) || !IsFull(limit);
}

void TPhoneBook::Save(TTableRow& entry) {
  TKsoCtiDb& db = Db();
  TTransaction transaction = db.Transaction();
  const std::unique_ptr<TTableRow> stored = db.FindPhoneNumber(entry.GetValue("phone_number"));
  Store(db, entry, stored.get(), NowDateText());
  transaction.Commit();
  listeners_.Notify({TPhoneBookChange::TKind::Saved, &entry, {}});
}

TImportResult TPhoneBook::ImportFile(const std::string& fileName, int limit) {
  TCsvRows records;
  TCsvFileLoader::Load(fileName, records);
  TKsoCtiDb& db = Db();
  TTransaction transaction = db.Transaction();
  TImportResult result;
  result.Records = records.Count();
  // Counted once and kept current: a count per record would cost a scan each.
  int count = db.GetPhoneNumberCount();
  for (int i = 0; i < records.Count(); ++i) {
    std::string number;
    if (!NormaliseImportNumber(records[i].GetField(0), number)) {
      result.InvalidSeen = true;
      continue;
    }
    const std::unique_ptr<TTableRow> stored = db.FindPhoneNumber(number);
    if (!stored && Full(count, limit)) {
      result.LimitHit = true;
      continue;
    }
    TTableRow entry = ImportedEntry(number, records[i]);
    Store(db, entry, stored.get(), NowDateText());
    if (!stored)
      ++count;
  }
  transaction.Commit();
  return result;
}

void TPhoneBook::Delete(const std::vector<std::string>& numbers) {
  TKsoCtiDb& db = Db();
  TTransaction transaction = db.Transaction();
  for (const std::string& number : numbers)
    db.DeletePhoneNumber(number);
  transaction.Commit();
  listeners_.Notify({TPhoneBookChange::TKind::Deleted, nullptr, numbers});
}

void TPhoneBook::Register(const TTableRow& entry) {
  Db().InsertPhoneNumber(entry);
}

void TPhoneBook::SetLastIncomingDate(const std::string& number, const std::string& dateText) {
  Db().UpdateLastIncomingDate(number, dateText);
}

void TPhoneBook::RaiseLastIncomingDate(const std::string& number, const std::string& dateText) {
  Db().RaiseLastIncomingDate(number, dateText);
}

TPhoneBook& PhoneBook() {
  static TPhoneBook book;
  return book;
}
