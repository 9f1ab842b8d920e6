#include "share/BookMessages.h"

#include "base/Text.h"
#include "share/CallMessage.h"
#include "share/ShareExchange.h"

#include <QJsonDocument>
#include <algorithm>
#include <cmath>
#include <fmt/format.h>

namespace {

constexpr int kMaxNumberChars = 20;
constexpr int kMaxTextChars = 1000;
const char* const Kinds[] = {"save", "delete", "import", "register"};

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

[[noreturn]] void Fail(const char* key) {
  throw ECallMessageError(fmt::format("電話帳の変更の {} が正しくありません", key));
}

QJsonObject ObjectOf(const QJsonValue& value, const char* what) {
  if (!value.isObject())
    Fail(what);
  return value.toObject();
}

std::string Text(const QJsonObject& o, const char* key, int maxChars = kMaxTextChars) {
  const QJsonValue value = o.value(key);
  if (!value.isString() && !value.isUndefined())
    Fail(key);
  if (value.toString().size() > maxChars)
    Fail(key);
  return value.toString().toStdString();
}

// A number names an entry: never empty, never a control character.
std::string Number(const QJsonValue& value) {
  const std::string number = value.toString().toStdString();
  if (!value.isString() || number.empty() || value.toString().size() > kMaxNumberChars ||
      number != WithoutControlCharacters(number))
    Fail("number");
  return number;
}

int64_t Int64(const QJsonObject& o, const char* key) {
  const QJsonValue value = o.value(key);
  const double d = value.toDouble(-1);
  // Exact in a double up to 2^53.
  if (!value.isDouble() || std::floor(d) != d || d < 0 || d > 9007199254740992.0)
    Fail(key);
  return static_cast<int64_t>(d);
}

QJsonArray Array(const QJsonObject& o, const char* key) {
  const QJsonValue value = o.value(key);
  if (!value.isArray() && !value.isUndefined())
    Fail(key);
  return value.toArray();
}

} // namespace

QJsonObject BookEntryJson(const TBookEntry& e) {
  return {{"number", Q(e.Number)},  {"owner_name", Q(e.OwnerName)}, {"memo1", Q(e.Memo1)},
          {"memo2", Q(e.Memo2)},    {"memo3", Q(e.Memo3)},          {"created", Q(e.Created)},
          {"updated", Q(e.Updated)}};
}

TBookEntry BookEntryOf(const QJsonValue& value) {
  const QJsonObject o = ObjectOf(value, "entry");
  return {Number(o.value("number")), Text(o, "owner_name"), Text(o, "memo1"),
          Text(o, "memo2"),          Text(o, "memo3"),      Text(o, "created", 23),
          Text(o, "updated", 23)};
}

QJsonObject BookChangeJson(const TBookChange& c) {
  QJsonArray entries;
  for (const TBookEntry& entry : c.Entries)
    entries.push_back(BookEntryJson(entry));
  QJsonArray numbers;
  for (const std::string& number : c.Numbers)
    numbers.push_back(Q(number));
  return {{"kind", Q(c.Kind)},
          {"entries", entries},
          {"numbers", numbers},
          {"station", Q(c.Station)},
          {"edited", Q(c.Edited)}};
}

TBookChange BookChangeOf(const QJsonValue& value) {
  const QJsonObject o = ObjectOf(value, "change");
  TBookChange c;
  c.Kind = Text(o, "kind");
  if (std::find(std::begin(Kinds), std::end(Kinds), c.Kind) == std::end(Kinds))
    Fail("kind");
  for (const QJsonValue& entry : Array(o, "entries"))
    c.Entries.push_back(BookEntryOf(entry));
  for (const QJsonValue& number : Array(o, "numbers"))
    c.Numbers.push_back(Number(number));
  c.Station = Text(o, "station", 200);
  c.Edited = Text(o, "edited", 23);
  return c;
}

QJsonObject DeskEditJson(const TDeskEdit& e) {
  return {{"desk", Q(e.Desk)},
          {"seq", static_cast<double>(e.Seq)},
          {"change", BookChangeJson(e.Change)}};
}

TDeskEdit DeskEditOf(const QJsonValue& value) {
  const QJsonObject o = ObjectOf(value, "edit");
  TDeskEdit e{Text(o, "desk", 200), Int64(o, "seq"), BookChangeOf(o.value("change"))};
  if (e.Desk.empty())
    Fail("desk");
  return e;
}

QJsonObject BookVersionJson(const TBookVersion& v) {
  return {{"version", static_cast<double>(v.Version)},
          {"desk", Q(v.Desk)},
          {"seq", static_cast<double>(v.Seq)},
          {"change", BookChangeJson(v.Change)},
          {"book_id", Q(v.BookId)}};
}

TBookVersion BookVersionOf(const QJsonValue& value) {
  const QJsonObject o = ObjectOf(value, "version");
  return {Int64(o, "version"), Text(o, "desk", 200), Int64(o, "seq"),
          BookChangeOf(o.value("change")), Text(o, "book_id", 16)};
}

std::string EncodeBookVersion(const TBookVersion& version) {
  return QJsonDocument(BookVersionJson(version)).toJson(QJsonDocument::Compact).toStdString();
}

TBookVersion DecodeBookVersion(const std::string& payload) {
  return BookVersionOf(ShareJsonObject(payload));
}

QJsonObject VersionJson(int64_t version) {
  return {{"version", static_cast<double>(version)}};
}

int64_t VersionOf(const QJsonValue& value) {
  return Int64(ObjectOf(value, "version"), "version");
}

QJsonObject SeqJson(int64_t seq) {
  return {{"seq", static_cast<double>(seq)}};
}

int64_t SeqOf(const QJsonValue& value) {
  return Int64(ObjectOf(value, "seq"), "seq");
}
