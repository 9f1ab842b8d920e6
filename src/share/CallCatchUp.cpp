#include "share/CallCatchUp.h"

#include "base/Text.h"
#include "settings/DateText.h"
#include "share/ShareJson.h"

#include <fmt/format.h>
#include <limits>

namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

[[noreturn]] void Fail(const char* key) {
  throw ECallMessageError(fmt::format("取り寄せた着信の {} が正しくありません", key));
}

int Int(const QJsonObject& o, const char* key, int low) {
  const QJsonValue value = o.value(key);
  if (!IsJsonInteger(value, low, std::numeric_limits<int>::max()))
    Fail(key);
  return static_cast<int>(value.toDouble());
}

std::string Text(const QJsonObject& o, const char* key) {
  const QJsonValue value = o.value(key);
  // The database would cut a text at NUL.
  if ((!value.isString() && !value.isUndefined()) || value.toString().contains(QChar(0)))
    Fail(key);
  return value.toString().toStdString();
}

// Only dates in the stored form: they become the keys and dates of rows here.
bool IsStoredDate(const std::string& date) {
  return date.size() == 23 && DateTimeFromTextDef(date, -1) >= 0;
}

std::string Date(const QJsonObject& o, const char* key) {
  std::string date = Text(o, key);
  if (!IsStoredDate(date))
    Fail(key);
  return date;
}

std::string Number(const QJsonObject& o) {
  std::string number = Text(o, "number");
  if (QString::fromStdString(number).size() > 20 || number != WithoutControlCharacters(number))
    Fail("number");
  return number;
}

} // namespace

QJsonObject CallRecordJson(const TCallRecord& c) {
  return {{"incoming_order", c.Order},
          {"incoming_date", Q(c.Date)},
          {"number", Q(c.Number)},
          {"state", c.State},
          {"connected", c.Connected},
          {"offhook_seconds", c.OffhookSeconds},
          {"onhook_seconds", c.OnhookSeconds},
          {"owner_name", Q(c.OwnerName)},
          {"memo1", Q(c.Memo1)},
          {"memo2", Q(c.Memo2)},
          {"memo3", Q(c.Memo3)}};
}

TCallRecord CallRecordOf(const QJsonValue& value) {
  if (!value.isObject())
    Fail("形式");
  const QJsonObject o = value.toObject();
  TCallRecord c;
  c.Order = Int(o, "incoming_order", std::numeric_limits<int>::min());
  c.Date = Date(o, "incoming_date");
  c.Number = Number(o);
  c.State = Int(o, "state", 0);
  if (c.State > 2)
    Fail("state");
  c.Connected = o.value("connected").toBool(false);
  c.OffhookSeconds = Int(o, "offhook_seconds", 0);
  c.OnhookSeconds = Int(o, "onhook_seconds", 0);
  c.OwnerName = Text(o, "owner_name");
  c.Memo1 = Text(o, "memo1");
  c.Memo2 = Text(o, "memo2");
  c.Memo3 = Text(o, "memo3");
  return c;
}

QJsonValue CallMarkJson(const std::optional<TCallMark>& mark) {
  if (!mark)
    return QJsonValue::Null;
  QJsonObject o{{"incoming_order", mark->Order}, {"incoming_date", Q(mark->Date)}};
  if (mark->ByOrder)
    o["by"] = "order";
  return o;
}

std::optional<TCallMark> CallMarkOf(const QJsonValue& value) {
  if (value.isNull() || value.isUndefined())
    return std::nullopt;
  if (!value.isObject())
    Fail("after");
  const QJsonObject o = value.toObject();
  return TCallMark{Int(o, "incoming_order", std::numeric_limits<int>::min()),
                   Date(o, "incoming_date"), Text(o, "by") == "order"};
}

std::optional<TCallRecord> CallRecordOf(const TCallMessage& m) {
  if (!m.IncomingOrder || !m.IncomingDate || !IsStoredDate(*m.IncomingDate) || m.Kind == 1 ||
      m.Kind == 7)
    return std::nullopt;
  TCallRecord c;
  c.Order = *m.IncomingOrder;
  c.Date = *m.IncomingDate;
  c.Number = m.PhoneNumber;
  c.State = m.Kind == 2 ? 0 : m.Kind == 3 ? 1 : 2;
  c.Connected = m.Kind == 3 || m.Kind == 4;
  c.OffhookSeconds = m.Kind == 3 || m.Kind == 4 ? m.RingSeconds : 0;
  c.OnhookSeconds = m.Kind == 4 ? m.TalkSeconds : 0;
  c.OwnerName = m.OwnerName;
  c.Memo1 = m.Memo1;
  c.Memo2 = m.Memo2;
  c.Memo3 = m.Memo3;
  return c;
}
