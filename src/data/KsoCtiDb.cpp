#include "data/KsoCtiDb.h"

#include "base/Clock.h"
#include "base/Text.h"

#include <fmt/printf.h>

#include <algorithm>

std::unique_ptr<TKsoCtiDb> CtiDb;

namespace {

constexpr int MaxIncomingOrder = 999999999;

// The LIKE escape character of the phone-book search.
constexpr char SearchEscape = '\t';

// Where each row entry comes from: the lower-case column names in name
// order, each with its column; of equal names the last column wins, as
// setting the values one by one would do.
using TRowLayout = std::vector<std::pair<std::string, int>>;

TRowLayout RowLayout(const TSQLiteTable& table) {
  TRowLayout layout;
  for (int i = 0; i < table.ColumnCount(); ++i)
    layout.emplace_back(LowerCaseAscii(table.ColumnName(i)), i);
  std::stable_sort(layout.begin(), layout.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  const auto last = std::unique(layout.rbegin(), layout.rend(),
                                [](const auto& a, const auto& b) { return a.first == b.first; });
  layout.erase(layout.begin(), last.base());
  return layout;
}

std::unique_ptr<TTableRow> RowAtCursor(TSQLiteTable& table, const TRowLayout& layout) {
  std::vector<TTableRow::TEntry> entries;
  entries.reserve(layout.size());
  for (const auto& [name, column] : layout)
    entries.emplace_back(
        name,
        TTableRowColValue{table.IsNull(column) ? std::string() : table.TakeValueText(column)});
  return std::make_unique<TTableRow>(std::move(entries));
}

// `text` with LIKE's escape put in front of each of `literals` and of the
// escape itself, so they match as themselves.
std::string EscapeForLike(std::string_view text, std::string_view literals) {
  std::string escaped;
  for (const char c : text) {
    if (c == SearchEscape || literals.find(c) != std::string_view::npos)
      escaped += SearchEscape;
    escaped += c;
  }
  return escaped;
}

int IntegerOrMinusOne(const std::string& text) {
  int value = 0;
  return TryParseInt32(text, value) ? value : -1;
}

} // namespace

TKsoCtiDb::TKsoCtiDb(const std::string& fileName) : db_(fileName) {
  // Each commit reaches the disk before it returns (in WAL mode one flush of
  // the log): a power cut or a kernel crash loses no call or edit once
  // written. Should the file be locked or no database, the first real
  // statement reports that.
  try {
    db_.Execute("PRAGMA synchronous = FULL");
  } catch (const ESQLiteException&) {
  }
}

std::unique_ptr<TTableRow> TKsoCtiDb::QueryRow(const std::string& sql) {
  const auto table = db_.Query(sql);
  if (table->AtEnd())
    return nullptr;
  return RowAtCursor(*table, RowLayout(*table));
}

std::unique_ptr<TTableRows> TKsoCtiDb::QueryRows(const std::string& sql,
                                                 const TSQLiteParams& params) {
  const auto table = db_.Query(sql, params);
  auto rows = std::make_unique<TTableRows>();
  const TRowLayout layout = RowLayout(*table);
  for (; !table->AtEnd(); table->Next())
    rows->Add(RowAtCursor(*table, layout));
  return rows;
}

std::unique_ptr<TTableRow> TKsoCtiDb::GetVersionInfo() {
  return QueryRow("SELECT * FROM version_info ORDER BY version_no DESC");
}

std::unique_ptr<TTableRow> TKsoCtiDb::FindPhoneNumber(const std::string& phoneNumber) {
  return QueryRow(
      fmt::sprintf("SELECT * FROM phone_numbers WHERE phone_number = %s", SqlQuote(phoneNumber)));
}

bool TKsoCtiDb::PhoneNumberExists(const std::string& phoneNumber) {
  return FindPhoneNumber(phoneNumber) != nullptr;
}

std::unique_ptr<TTableRows> TKsoCtiDb::GetPhoneNumbers() {
  return QueryRows("SELECT * FROM phone_numbers ORDER BY last_updated DESC");
}

std::unique_ptr<TTableRows> TKsoCtiDb::SearchPhoneNumbers(const std::string& text) {
  const std::string pattern =
      SqlQuote("%" + EscapeForLike(Trim(text), "%") + "%"); // "_" stays a wildcard
  const std::string escape(1, SearchEscape);
  return QueryRows(fmt::sprintf("SELECT * FROM phone_numbers"
                                " WHERE phone_number LIKE %s ESCAPE '%s'"
                                "    OR owner_name LIKE %s ESCAPE '%s'"
                                "    OR memo1 LIKE %s ESCAPE '%s'"
                                "    OR memo2 LIKE %s ESCAPE '%s'"
                                "    OR memo3 LIKE %s ESCAPE '%s'"
                                "    OR exec_cmd LIKE %s ESCAPE '%s'"
                                " ORDER BY created_date DESC",
                                pattern, escape, pattern, escape, pattern, escape, pattern, escape,
                                pattern, escape, pattern, escape));
}

std::unique_ptr<TTableRows> TKsoCtiDb::FindPhoneNumbersHolding(const std::string& text) {
  // LIKE folds ASCII letters only; every character of the text is escaped
  // to match as itself. LIKE scans a large book several times faster than
  // instr() over lower-cased copies.
  return QueryRows("SELECT * FROM phone_numbers"
                   " WHERE phone_number LIKE ?1 ESCAPE ?2"
                   "    OR owner_name LIKE ?1 ESCAPE ?2"
                   "    OR memo1 LIKE ?1 ESCAPE ?2"
                   "    OR memo2 LIKE ?1 ESCAPE ?2"
                   "    OR memo3 LIKE ?1 ESCAPE ?2"
                   "    OR exec_cmd LIKE ?1 ESCAPE ?2"
                   " ORDER BY created_date DESC",
                   {"%" + EscapeForLike(Trim(text), "%_") + "%", std::string(1, SearchEscape)});
}

std::string TKsoCtiDb::FirstValueText(const std::string& sql) {
  const auto table = db_.Query(sql);
  return table->AtEnd() ? std::string() : table->ValueAsText(0);
}

int TKsoCtiDb::GetPhoneNumberCount() {
  return IntegerOrMinusOne(FirstValueText("SELECT count(*) FROM phone_numbers"));
}

void TKsoCtiDb::DeletePhoneNumber(const std::string& phoneNumber) {
  db_.Execute(
      fmt::sprintf("DELETE FROM phone_numbers WHERE phone_number = %s", SqlQuote(phoneNumber)));
}

void TKsoCtiDb::InsertPhoneNumber(const TTableRow& row) {
  const auto value = [&row](const char* name) { return SqlQuote(row.GetValue(name)); };
  db_.Execute(fmt::sprintf(
      "INSERT INTO phone_numbers ( phone_number, owner_name, memo1, memo2, memo3, exec_cmd,"
      " created_date, last_updated, last_incoming_date )"
      " VALUES ( %s, %s, %s, %s, %s, %s, %s, %s, %s )",
      value("phone_number"), value("owner_name"), value("memo1"), value("memo2"), value("memo3"),
      value("exec_cmd"), value("created_date"), value("last_updated"),
      value("last_incoming_date")));
}

void TKsoCtiDb::UpdateLastIncomingDate(const std::string& phoneNumber,
                                       const std::string& dateText) {
  db_.Execute(fmt::sprintf("UPDATE phone_numbers SET last_incoming_date = %s"
                           " WHERE phone_number = %s",
                           SqlQuote(dateText), SqlQuote(phoneNumber)));
}

void TKsoCtiDb::RaiseLastIncomingDate(const std::string& phoneNumber, const std::string& dateText) {
  db_.Execute("UPDATE phone_numbers SET last_incoming_date = ?2 WHERE phone_number = ?1"
              " AND (last_incoming_date IS NULL OR last_incoming_date < ?2)",
              {phoneNumber, dateText});
}

int TKsoCtiDb::GetNextIncomingOrder() {
  const std::string text =
      FirstValueText("SELECT coalesce(max(incoming_order),0) FROM incoming_numbers");
  int highest = 0;
  if (!TryParseInt32(text, highest))
    throw Exception(fmt::sprintf("'%s' は整数ではありません", text));
  if (!reservedOrders_.empty())
    highest = std::max(highest, *reservedOrders_.rbegin());
  return FollowingIncomingOrder(highest);
}

int TKsoCtiDb::ReserveIncomingOrder() {
  const int order = GetNextIncomingOrder();
  reservedOrders_.insert(order);
  return order;
}

int TKsoCtiDb::AddIncoming(const std::string& phoneNumber, const std::string& dateText) {
  return AddIncoming(phoneNumber, dateText, GetNextIncomingOrder());
}

int TKsoCtiDb::AddIncoming(const std::string& phoneNumber, const std::string& dateText, int order) {
  reservedOrders_.erase(order);
  if (FirstValueText(fmt::sprintf("SELECT count(*) FROM incoming_numbers WHERE incoming_order = %d",
                                  order)) != "0")
    order = GetNextIncomingOrder();
  db_.Execute(fmt::sprintf("INSERT INTO incoming_numbers ( incoming_order, incoming_date,"
                           " phone_number ) VALUES ( %d, %s, %s )",
                           order, SqlQuote(dateText), SqlQuote(phoneNumber)));
  return order;
}

std::unique_ptr<TTableRow> TKsoCtiDb::FindIncoming(const std::string& phoneNumber,
                                                   const std::string& dateText) {
  return QueryRow(fmt::sprintf("SELECT incoming_order, incoming_date FROM incoming_numbers"
                               " WHERE incoming_date = %s AND phone_number = %s"
                               " ORDER BY rowid DESC LIMIT 1",
                               SqlQuote(dateText), SqlQuote(phoneNumber)));
}

void TKsoCtiDb::SetIncomingAnswered(int order, const std::string& dateText, int offhookSeconds) {
  db_.Execute(fmt::sprintf("UPDATE incoming_numbers SET state = 1, connected = 1,"
                           " offhook_seconds = %d"
                           " WHERE incoming_order = %d AND incoming_date = %s",
                           offhookSeconds, order, SqlQuote(dateText)));
}

void TKsoCtiDb::SetIncomingHungUp(int order, const std::string& dateText, int onhookSeconds) {
  db_.Execute(fmt::sprintf("UPDATE incoming_numbers SET state = 2, onhook_seconds = %d"
                           " WHERE incoming_order = %d AND incoming_date = %s",
                           onhookSeconds, order, SqlQuote(dateText)));
}

void TKsoCtiDb::SetIncomingNotAnswered(int order, const std::string& dateText) {
  db_.Execute(fmt::sprintf("UPDATE incoming_numbers SET state = 2, connected = 0"
                           " WHERE incoming_order = %d AND incoming_date = %s",
                           order, SqlQuote(dateText)));
}

std::unique_ptr<TTableRows> TKsoCtiDb::GetIncomingList(int limit) {
  return QueryRows(fmt::sprintf("SELECT i.*, p.owner_name FROM incoming_numbers i"
                                " LEFT OUTER JOIN phone_numbers p"
                                " ON i.phone_number = p.phone_number"
                                " ORDER BY i.incoming_date DESC LIMIT %d",
                                limit));
}

void TKsoCtiDb::DeleteIncoming(int order, const std::string& dateText) {
  db_.Execute(fmt::sprintf("DELETE FROM incoming_numbers"
                           " WHERE incoming_order = %d AND incoming_date = %s",
                           order, SqlQuote(dateText)));
}

void TKsoCtiDb::DeleteUnmarkedIncoming(const TTableRows& keep) {
  db_.Execute("UPDATE incoming_numbers SET marked=0");
  for (int i = 0; i < keep.Count(); ++i) {
    const TTableRow& row = keep[i];
    db_.Execute(fmt::sprintf("UPDATE incoming_numbers SET marked = 1"
                             " WHERE incoming_order = %d AND incoming_date = %s",
                             IntegerOrMinusOne(row.GetValue("incoming_order")),
                             SqlQuote(row.GetValue("incoming_date"))));
  }
  db_.Execute("DELETE FROM incoming_numbers WHERE marked=0");
}

void TKsoCtiDb::TrimIncoming(int limit) {
  const auto keep = QueryRows(fmt::sprintf("SELECT incoming_order, incoming_date"
                                           " FROM incoming_numbers"
                                           " ORDER BY incoming_date DESC LIMIT %d",
                                           limit));
  if (keep->Count() < limit)
    return;
  TTransaction transaction(db_);
  DeleteUnmarkedIncoming(*keep);
  transaction.Commit();
}

int TKsoCtiDb::AddStationIncoming(const std::string& station, const TTableRow& call, bool& added) {
  const auto number = [&call](const char* name) {
    int value = 0;
    return static_cast<std::int64_t>(TryParseInt32(call.GetValue(name), value) ? value : 0);
  };
  const TSQLiteParams key{station, number("incoming_order"), call.GetValue("incoming_date")};
  const auto found = db_.Query("SELECT incoming_order FROM incoming_numbers"
                               " WHERE station = ?1 AND station_order = ?2 AND incoming_date = ?3",
                               key);
  added = found->AtEnd();
  const TSQLiteParams outcome{number("state"), number("connected"), number("offhook_seconds"),
                              number("onhook_seconds")};
  if (!added) {
    TSQLiteParams params = outcome;
    params.insert(params.end(), key.begin(), key.end());
    db_.Execute("UPDATE incoming_numbers SET state = ?1, connected = ?2, offhook_seconds = ?3,"
                " onhook_seconds = ?4"
                " WHERE station = ?5 AND station_order = ?6 AND incoming_date = ?7"
                " AND state <= ?1",
                params);
    return IntegerOrMinusOne(found->ValueAsText(0));
  }
  const int order = GetNextIncomingOrder();
  TSQLiteParams params{static_cast<std::int64_t>(order), call.GetValue("phone_number")};
  params.insert(params.end(), key.begin(), key.end());
  params.insert(params.end(), outcome.begin(), outcome.end());
  db_.Execute("INSERT INTO incoming_numbers (incoming_order, phone_number, station,"
              " station_order, incoming_date, state, connected, offhook_seconds, onhook_seconds)"
              " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)",
              params);
  return order;
}

std::unique_ptr<TTableRow> TKsoCtiDb::GetShareMark(const std::string& station) {
  const auto rows = QueryRows("SELECT station_order, station_date FROM share_marks"
                              " WHERE station = ?1",
                              {station});
  return rows->Count() == 0 ? nullptr : (*rows)[0].Clone();
}

std::string TKsoCtiDb::GetNewestOwnIncomingDate() {
  return FirstValueText(
      "SELECT coalesce(max(incoming_date), '') FROM incoming_numbers WHERE station IS NULL");
}

std::unique_ptr<TTableRow> TKsoCtiDb::GetOldestOpenStationCall(const std::string& station,
                                                               int recent) {
  const auto rows = QueryRows("SELECT station_order, incoming_date FROM"
                              " (SELECT station_order, incoming_date, state FROM incoming_numbers"
                              "  WHERE station = ?1 AND station_order IS NOT NULL"
                              "  ORDER BY station_order DESC, incoming_date DESC LIMIT ?2)"
                              " WHERE state < 2 ORDER BY station_order, incoming_date LIMIT 1",
                              {station, static_cast<std::int64_t>(recent)});
  return rows->Count() == 0 ? nullptr : (*rows)[0].Clone();
}

std::unique_ptr<TTableRows> TKsoCtiDb::GetOwnIncomingAfter(int order, const std::string& dateText,
                                                           int count, int window, bool byOrder) {
  const char* const key =
      byOrder ? "i.incoming_order, i.incoming_date" : "i.incoming_date, i.incoming_order";
  return QueryRows(
      fmt::sprintf("SELECT i.incoming_order, i.incoming_date, i.phone_number, i.state,"
                   " i.connected, i.offhook_seconds, i.onhook_seconds, p.owner_name, p.memo1,"
                   " p.memo2, p.memo3"
                   " FROM (SELECT * FROM incoming_numbers WHERE station IS NULL"
                   "       ORDER BY incoming_date DESC, incoming_order DESC LIMIT ?4) i"
                   " LEFT OUTER JOIN phone_numbers p ON i.phone_number = p.phone_number"
                   " WHERE (%s) > (%s) ORDER BY %s LIMIT ?3",
                   key, byOrder ? "?1, ?2" : "?2, ?1", key),
      {static_cast<std::int64_t>(order), dateText, static_cast<std::int64_t>(count),
       static_cast<std::int64_t>(window)});
}

int FollowingIncomingOrder(int order) {
  return order >= MaxIncomingOrder ? 1 : order + 1;
}

std::string SqlQuote(std::string_view text) {
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'')
      quoted += '\'';
    quoted += c;
  }
  return quoted + "'";
}

std::string NowDateText() {
  return FormatDateTime("yyyy/mm/dd hh:nn:ss.zzz", Now());
}
