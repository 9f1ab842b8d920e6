#include "share/CallMessage.h"

#include "base/Text.h"
#include "share/ShareJson.h"
#include "share/Station.h"
#include "share/StationStatus.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <array>
#include <fmt/printf.h>
#include <limits>

namespace {

// Far above any real message; a bigger one is not ours.
constexpr qsizetype kMaxPayloadBytes = 64 * 1024;
constexpr int kMaxIdBytes = 200;
// The adapter reports at most 20 characters.
constexpr int kMaxNumberChars = 20;

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

[[noreturn]] void Fail(const std::string& reason) {
  throw ECallMessageError(reason);
}

int ReadInt(const QJsonObject& o, const char* key, bool required, double low) {
  const QJsonValue value = o.value(key);
  if (value.isUndefined() && !required)
    return 0;
  if (value.isUndefined())
    Fail(fmt::sprintf("%s がありません", key));
  if (!IsJsonInteger(value, low, std::numeric_limits<int32_t>::max()))
    Fail(fmt::sprintf("%s が整数ではありません", key));
  return static_cast<int>(value.toDouble());
}

std::string ReadText(const QJsonObject& o, const char* key, bool required) {
  const QJsonValue value = o.value(key);
  if (value.isUndefined() && !required)
    return {};
  if (value.isUndefined())
    Fail(fmt::sprintf("%s がありません", key));
  if (!value.isString())
    Fail(fmt::sprintf("%s が文字列ではありません", key));
  // The database would cut a text at NUL.
  if (value.toString().contains(QChar(0)))
    Fail(fmt::sprintf("%s にNUL文字があります", key));
  return value.toString().toStdString();
}

std::string ReadTag(const QJsonObject& o, const char* key) {
  std::string text = ReadText(o, key, true);
  if (text.empty() || text.size() > kMaxIdBytes)
    Fail(fmt::sprintf("%s が空か長すぎます", key));
  if (text != WithoutControlCharacters(text))
    Fail(fmt::sprintf("%s に制御文字があります", key));
  return text;
}

std::optional<std::string> ReadOptionalText(const QJsonObject& o, const char* key) {
  if (!o.contains(key) || o.value(key).isNull())
    return std::nullopt;
  return ReadText(o, key, true);
}

std::string ReadNumber(const QJsonObject& o) {
  const QString number = Q(ReadText(o, "number", false));
  if (number.size() > kMaxNumberChars)
    Fail("number が長すぎます");
  for (const QChar c : number)
    if (c.category() == QChar::Other_Control)
      Fail("number に制御文字があります");
  return number.toStdString();
}

bool KnownKind(int kind) {
  return (kind >= 1 && kind <= 5) || kind == 7;
}

} // namespace

const char* CallEventName(int kind) {
  static constexpr std::array<const char*, 8> names{"",       "ring",       "number", "offhook",
                                                    "onhook", "unanswered", "",       "end"};
  return kind >= 0 && kind < static_cast<int>(names.size()) ? names[kind] : "";
}

std::string EncodeCallMessage(const TCallMessage& m) {
  QJsonObject o;
  o["id"] = Q(m.Id);
  o["station"] = Q(m.Station);
  if (!m.Run.empty())
    o["run"] = Q(m.Run);
  o["kind"] = m.Kind;
  o["event"] = CallEventName(m.Kind);
  o["group"] = m.GroupNo;
  o["number"] = Q(m.PhoneNumber);
  o["incoming_order"] = m.IncomingOrder ? QJsonValue(*m.IncomingOrder) : QJsonValue();
  o["incoming_date"] = m.IncomingDate ? QJsonValue(Q(*m.IncomingDate)) : QJsonValue();
  o["owner_name"] = Q(m.OwnerName);
  o["memo1"] = Q(m.Memo1);
  o["memo2"] = Q(m.Memo2);
  o["memo3"] = Q(m.Memo3);
  o["ring_seconds"] = m.RingSeconds;
  o["talk_seconds"] = m.TalkSeconds;
  if (m.Date)
    o["date"] = Q(*m.Date);
  return ShareJson(std::move(o));
}

TCallMessage DecodeCallMessage(const std::string& payload) {
  if (static_cast<qsizetype>(payload.size()) > kMaxPayloadBytes)
    Fail("大きすぎます");
  QJsonParseError error{};
  const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(payload), &error);
  if (error.error != QJsonParseError::NoError)
    Fail("JSONとして読めません (" + error.errorString().toStdString() + ")");
  if (!doc.isObject())
    Fail("JSONのオブジェクトではありません");
  const QJsonObject o = doc.object();
  CheckShareVersion(o);
  TCallMessage m;
  m.Id = ReadTag(o, "id");
  m.Station = ReadTag(o, "station");
  if (!IsShareName(m.Station))
    Fail("station が正しくありません");
  m.Run = ReadText(o, "run", false);
  if (o.contains("run") && !IsShareId(m.Run))
    Fail("run が正しくありません");
  m.Kind = ReadInt(o, "kind", true, 0);
  if (!KnownKind(m.Kind))
    Fail(fmt::sprintf("kind %d は着信の種別ではありません", m.Kind));
  m.GroupNo = ReadInt(o, "group", true, std::numeric_limits<int32_t>::min());
  m.PhoneNumber = ReadNumber(o);
  // The history key is null (or absent) until the sender registered the call.
  if (o.contains("incoming_order") && !o.value("incoming_order").isNull())
    m.IncomingOrder = ReadInt(o, "incoming_order", true, std::numeric_limits<int32_t>::min());
  m.IncomingDate = ReadOptionalText(o, "incoming_date");
  m.OwnerName = ReadText(o, "owner_name", false);
  m.Memo1 = ReadText(o, "memo1", false);
  m.Memo2 = ReadText(o, "memo2", false);
  m.Memo3 = ReadText(o, "memo3", false);
  m.RingSeconds = ReadInt(o, "ring_seconds", false, 0);
  m.TalkSeconds = ReadInt(o, "talk_seconds", false, 0);
  m.Date = ReadOptionalText(o, "date");
  return m;
}
