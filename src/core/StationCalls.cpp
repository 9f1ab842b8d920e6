#include "core/StationCalls.h"

#include "base/Text.h"
#include "core/CallerEntry.h"
#include "data/CallHistory.h"
#include "data/KsoCtiDb.h"
#include "data/NumberRules.h"
#include "data/PhoneBook.h"
#include "settings/AppSettings.h"
#include "settings/Logging.h"

namespace {

int IntOf(const std::string& text) {
  int value = 0;
  return TryParseInt32(text, value) ? value : 0;
}

TTableRow HistoryRowOf(const TCallRecord& c) {
  TTableRow row;
  row.SetValue("incoming_order", std::to_string(c.Order));
  row.SetValue("incoming_date", c.Date);
  row.SetValue("phone_number", c.Number);
  row.SetValue("state", std::to_string(c.State));
  row.SetValue("connected", c.Connected ? "1" : "0");
  row.SetValue("offhook_seconds", std::to_string(c.OffhookSeconds));
  row.SetValue("onhook_seconds", std::to_string(c.OnhookSeconds));
  return row;
}

TTableRow EntryOf(const TCallRecord& c) {
  TTableRow entry;
  entry.SetValue("phone_number", c.Number);
  entry.SetValue("owner_name", c.OwnerName);
  entry.SetValue("memo1", c.Memo1);
  entry.SetValue("memo2", c.Memo2);
  entry.SetValue("memo3", c.Memo3);
  entry.SetValue("created_date", c.Date);
  entry.SetValue("last_updated", c.Date);
  entry.SetValue("last_incoming_date", c.Date);
  return entry;
}

} // namespace

std::vector<TTableRow> RecordStationCalls(const std::string& station,
                                          const std::vector<TCallRecord>& calls) {
  std::vector<TTableRow> registered;
  bool limitLogged = false;
  if (!CtiDb)
    throw Exception("データベースが開かれていません。");
  // An office book has its callers from the stations' live calls: an old
  // call would bring back an entry the office deleted since.
  const auto office = CtiDb->GetBookState();
  const bool registers = !office || office->GetValue("book").empty();
  TTransaction transaction = CtiDb->Transaction();
  for (const TCallRecord& call : calls) {
    bool added = false;
    CallHistory().AddStationCall(station, HistoryRowOf(call), added);
    if (!added || !IsValidNumber(call.Number))
      continue;
    if (PhoneBook().Find(call.Number)) {
      PhoneBook().RaiseLastIncomingDate(call.Number, call.Date);
    } else if (!registers) {
      continue;
    } else if (!PhoneBook().IsFull(AppSettings.PhoneLimit)) {
      if (TTableRow entry = EntryOf(call); RegisterNewCaller(entry))
        registered.push_back(std::move(entry));
    } else if (!limitLogged) {
      limitLogged = true;
      LogFmt(llError, "電話番号登録件数が %d 件に達しているため登録できません。",
             AppSettings.PhoneLimit);
    }
  }
  transaction.Commit();
  return registered;
}

std::vector<TCallRecord> OwnCallsAfter(const std::optional<TCallMark>& after, int count) {
  const TCallKey key = after ? TCallKey{after->Order, after->Date} : TCallKey{};
  const auto rows =
      CallHistory().OwnCallsAfter(key, count, AppSettings.IncomingLimit, after && after->ByOrder);
  std::vector<TCallRecord> calls;
  for (int i = 0; i < rows->Count(); ++i) {
    const TTableRow& r = (*rows)[i];
    calls.push_back({IntOf(r.GetValue("incoming_order")), r.GetValue("incoming_date"),
                     r.GetValue("phone_number"), IntOf(r.GetValue("state")),
                     r.GetValue("connected") == "1", IntOf(r.GetValue("offhook_seconds")),
                     IntOf(r.GetValue("onhook_seconds")), r.GetValue("owner_name"),
                     r.GetValue("memo1"), r.GetValue("memo2"), r.GetValue("memo3")});
  }
  return calls;
}
