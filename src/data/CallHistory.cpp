#include "data/CallHistory.h"

#include "base/Text.h"
#include "data/KsoCtiDb.h"

namespace {

TKsoCtiDb& Db() {
  if (!CtiDb)
    throw Exception("データベースが開かれていません。");
  return *CtiDb;
}

} // namespace

TCallKey CallKeyOf(const TTableRow& call) {
  int order = 0;
  if (!TryParseInt32(call.GetValue("incoming_order"), order))
    order = 0;
  return {order, call.GetValue("incoming_date")};
}

int TCallHistory::AddCall(const std::string& number, const std::string& dateText, int order) {
  return order == 0 ? Db().AddIncoming(number, dateText)
                    : Db().AddIncoming(number, dateText, order);
}

int TCallHistory::ReserveOrder() {
  return Db().ReserveIncomingOrder();
}

int TCallHistory::NextOrder() {
  return Db().GetNextIncomingOrder();
}

std::optional<TCallKey> TCallHistory::Find(const TCallIdentity& call) {
  const auto row = Db().FindIncoming(call.Number, call.Date);
  return row ? std::optional(CallKeyOf(*row)) : std::nullopt;
}

void TCallHistory::SetAnswered(const TCallKey& call, int offhookSeconds) {
  Db().SetIncomingAnswered(call.Order, call.Date, offhookSeconds);
}

void TCallHistory::SetHungUp(const TCallKey& call, int onhookSeconds) {
  Db().SetIncomingHungUp(call.Order, call.Date, onhookSeconds);
}

void TCallHistory::SetNotAnswered(const TCallKey& call) {
  Db().SetIncomingNotAnswered(call.Order, call.Date);
}

TCallKey TCallHistory::AddStationCall(const std::string& station, const TTableRow& call,
                                      bool& added) {
  return {Db().AddStationIncoming(station, call, added), call.GetValue("incoming_date")};
}

std::optional<TCallKey> TCallHistory::StationMark(const std::string& station) {
  const auto mark = Db().GetShareMark(station);
  if (!mark)
    return std::nullopt;
  int order = 0;
  TryParseInt32(mark->GetValue("station_order"), order);
  return TCallKey{order, mark->GetValue("station_date")};
}

std::optional<TCallKey> TCallHistory::OldestOpenStationCall(const std::string& station,
                                                            int recent) {
  const auto call = Db().GetOldestOpenStationCall(station, recent);
  if (!call)
    return std::nullopt;
  int order = 0;
  TryParseInt32(call->GetValue("station_order"), order);
  return TCallKey{order, call->GetValue("incoming_date")};
}

std::string TCallHistory::NewestOwnCallDate() {
  return Db().GetNewestOwnIncomingDate();
}

std::unique_ptr<TTableRows> TCallHistory::OwnCallsAfter(const TCallKey& after, int count,
                                                        int window, bool byOrder) {
  return Db().GetOwnIncomingAfter(after.Order, after.Date, count, window, byOrder);
}

std::unique_ptr<TTableRows> TCallHistory::List(int limit) {
  return Db().GetIncomingList(limit);
}

void TCallHistory::Delete(const std::vector<TCallKey>& calls) {
  TKsoCtiDb& db = Db();
  TTransaction transaction = db.Transaction();
  for (const TCallKey& call : calls)
    db.DeleteIncoming(call.Order, call.Date);
  transaction.Commit();
  listeners_.Notify({calls});
}

void TCallHistory::Trim(int limit) {
  Db().TrimIncoming(limit);
}

TCallHistory& CallHistory() {
  static TCallHistory history;
  return history;
}
