#include "data/PhoneBook.h"

#include "base/BookEntryRules.h"
#include "base/Text.h"
#include "data/CsvFileLoader.h"
#include "data/CsvFileSaver.h"
#include "data/KsoCtiDb.h"
#include "data/NumberRules.h"

#include <algorithm>
#include <charconv>

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

void Refuse(const TTableRow& entry) {
  const std::string problem = TPhoneBook::Problem(entry);
  if (!problem.empty())
    throw Exception("電話番号情報を保存できません。" + problem + "。");
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

TTableRow ImportedEntry(const std::string& number, const TCsvRow& record, const TTableRow* stored,
                        bool keepCommand) {
  TTableRow entry;
  entry.SetValue("phone_number", number);
  int field = 1;
  for (const char* column : ImportedColumns)
    entry.SetValue(column, record.GetField(field++));
  if (keepCommand)
    entry.SetValue("exec_cmd", stored ? stored->GetValue("exec_cmd") : "");
  return entry;
}

// An entry of the office's book over this copy's: this PC's own command and
// last incoming date stay.
TTableRow OfficeEntry(const TTableRow& office, const TTableRow* stored) {
  TTableRow entry;
  for (const char* column :
       {"phone_number", "owner_name", "memo1", "memo2", "memo3", "created_date", "last_updated"})
    entry.SetValue(column, office.GetValue(column));
  entry.SetValue("exec_cmd", stored ? stored->GetValue("exec_cmd") : "");
  entry.SetValue("last_incoming_date", stored ? stored->GetValue("last_incoming_date") : "");
  return entry;
}

// The bytes of what an entry carries to the office.
size_t TextBytes(const TTableRow& entry) {
  size_t bytes = 0;
  for (const char* column : {"phone_number", "owner_name", "memo1", "memo2", "memo3"})
    bytes += entry.GetValue(column).size();
  return bytes;
}

// Beyond this many entries an edit of the office reloads the lists.
constexpr size_t kRowByRowEntries = 50;

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

std::string TPhoneBook::Problem(const TTableRow& entry) {
  return EntryProblem({entry.GetValue("phone_number"), entry.GetValue("owner_name"),
                       entry.GetValue("memo1"), entry.GetValue("memo2"), entry.GetValue("memo3"),
                       entry.GetValue("exec_cmd")});
}

void TPhoneBook::Save(TTableRow& entry) {
  Refuse(entry);
  TKsoCtiDb& db = Db();
  TTransaction transaction = db.JoinedTransaction();
  const std::unique_ptr<TTableRow> stored = db.FindPhoneNumber(entry.GetValue("phone_number"));
  Store(db, entry, stored.get(), NowDateText());
  Edited({TBookEdit::TKind::Save, {entry}, {}});
  transaction.Commit();
  listeners_.Notify({TPhoneBookChange::TKind::Saved, &entry, {}, editsFromOffice_});
}

void TPhoneBook::Edited(const TBookEdit& edit) const {
  if (editHook_)
    editHook_(edit);
}

// Each part its own edit, in order, within the caller's transaction.
void TPhoneBook::EditedInParts(TBookEdit& edit) const {
  TBookEdit part{edit.Kind, {}, {}};
  size_t bytes = 0;
  for (TTableRow& entry : edit.Entries) {
    const size_t size = TextBytes(entry);
    if (!part.Entries.empty() &&
        (part.Entries.size() == MaxEditEntries || bytes + size > MaxEditTextBytes)) {
      Edited(part);
      part.Entries.clear();
      bytes = 0;
    }
    part.Entries.push_back(std::move(entry));
    bytes += size;
  }
  if (!part.Entries.empty())
    Edited(part);
  part.Entries.clear();
  for (size_t at = 0; at < edit.Numbers.size(); at += MaxEditEntries) {
    const auto from = edit.Numbers.begin() + static_cast<ptrdiff_t>(at);
    part.Numbers.assign(
        from, from + static_cast<ptrdiff_t>(std::min(MaxEditEntries, edit.Numbers.size() - at)));
    Edited(part);
  }
}

TImportResult TPhoneBook::ImportFile(const std::string& fileName, int limit) {
  TCsvRows records;
  TCsvFileLoader::Load(fileName, records);
  return Import(records, limit, false);
}

TImportResult TPhoneBook::Import(const TCsvRows& records, int limit, bool keepCommands) {
  TKsoCtiDb& db = Db();
  TBookEdit edit{TBookEdit::TKind::Import, {}, {}};
  TTransaction transaction = db.JoinedTransaction();
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
    TTableRow entry = ImportedEntry(number, records[i], stored.get(), keepCommands);
    if (const std::string problem = Problem(entry); !problem.empty()) {
      if (result.Refused++ == 0)
        result.FirstRefusal = problem;
      continue;
    }
    Store(db, entry, stored.get(), NowDateText());
    if (!stored)
      ++count;
    // Kept only for the office's book: a large import holds no copy otherwise.
    if (editHook_)
      edit.Entries.push_back(std::move(entry));
  }
  EditedInParts(edit);
  transaction.Commit();
  return result;
}

void TPhoneBook::ExportFile(const std::string& fileName) {
  const std::unique_ptr<TTableRows> rows = Db().GetPhoneNumbers();
  TCsvRows records;
  for (int i = 0; i < rows->Count(); ++i) {
    const TTableRow& entry = (*rows)[i];
    auto record = std::make_unique<TCsvRow>();
    record->Add(NumberDisplayText(entry.GetValue("phone_number")));
    for (const char* column : ImportedColumns)
      record->Add(entry.GetValue(column));
    // Stored dates carry milliseconds; the file shows seconds.
    const std::string date = entry.GetValue("last_incoming_date");
    record->Add(date.size() == 23 ? date.substr(0, 19) : "");
    records.Add(std::move(record));
  }
  TCsvFileSaver::Save(fileName, records);
}

void TPhoneBook::Delete(const std::vector<std::string>& numbers) {
  TKsoCtiDb& db = Db();
  TTransaction transaction = db.JoinedTransaction();
  for (const std::string& number : numbers)
    db.DeletePhoneNumber(number);
  TBookEdit edit{TBookEdit::TKind::Delete, {}, numbers};
  EditedInParts(edit);
  transaction.Commit();
  listeners_.Notify({TPhoneBookChange::TKind::Deleted, nullptr, numbers, editsFromOffice_});
}

// Within the transaction of a call recorded late, or in one of its own.
void TPhoneBook::Register(const TTableRow& entry) {
  Refuse(entry);
  TKsoCtiDb& db = Db();
  if (!editHook_ || db.InTransaction()) {
    db.InsertPhoneNumber(entry);
    Edited({TBookEdit::TKind::Register, {entry}, {}});
    return;
  }
  TTransaction transaction = db.Transaction();
  db.InsertPhoneNumber(entry);
  Edited({TBookEdit::TKind::Register, {entry}, {}});
  transaction.Commit();
}

void TPhoneBook::ApplyOffice(const TBookEdit& edit, const std::function<void()>& also) {
  TKsoCtiDb& db = Db();
  TTransaction transaction = db.Transaction();
  std::vector<TTableRow> saved;
  for (const TTableRow& office : edit.Entries) {
    const std::unique_ptr<TTableRow> stored = db.FindPhoneNumber(office.GetValue("phone_number"));
    saved.push_back(OfficeEntry(office, stored.get()));
    if (stored)
      db.DeletePhoneNumber(office.GetValue("phone_number"));
    db.InsertPhoneNumber(saved.back());
  }
  for (const std::string& number : edit.Numbers)
    db.DeletePhoneNumber(number);
  if (also)
    also();
  transaction.Commit();
  if (saved.size() > kRowByRowEntries) {
    Reloaded();
    return;
  }
  for (const TTableRow& entry : saved)
    listeners_.Notify({TPhoneBookChange::TKind::Saved, &entry, {}, true});
  if (!edit.Numbers.empty())
    listeners_.Notify({TPhoneBookChange::TKind::Deleted, nullptr, edit.Numbers, true});
}

TOfficeBookState TPhoneBook::OfficeState() {
  TKsoCtiDb& db = Db();
  TOfficeBookState state;
  if (const auto row = db.GetBookState()) {
    state.Book = row->GetValue("book");
    const std::string version = row->GetValue("version");
    std::from_chars(version.data(), version.data() + version.size(), state.Version);
  }
  if (!state.Book.empty())
    state.Unconfirmed = db.GetBookOutboxCount(state.Book);
  return state;
}

void TPhoneBook::LeaveOffice() {
  TKsoCtiDb& db = Db();
  const auto state = db.GetBookState();
  if (!state || state->GetValue("book").empty())
    return;
  TTransaction transaction = db.Transaction();
  db.SetBookState("", 0);
  db.ClearBookOutbox();
  transaction.Commit();
  OfficeChanged();
}

void TPhoneBook::Reloaded() {
  listeners_.Notify({TPhoneBookChange::TKind::Reloaded, nullptr, {}});
}

void TPhoneBook::OfficeChanged() {
  listeners_.Notify({TPhoneBookChange::TKind::Office, nullptr, {}});
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
