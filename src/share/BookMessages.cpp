#include "share/BookMessages.h"

#include "base/BookEntryRules.h"
#include "base/Text.h"
#include "share/CallMessage.h"
#include "share/ShareExchange.h"
#include "share/ShareJson.h"

#include <QJsonDocument>
#include <algorithm>
#include <fmt/format.h>

namespace {

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

// A text of the message itself (a kind, a desk, a date), never NUL.
std::string Text(const QJsonObject& o, const char* key, int maxChars) {
  const QJsonValue value = o.value(key);
  if ((!value.isString() && !value.isUndefined()) || value.toString().size() > maxChars ||
      value.toString().contains(QChar(0)))
    Fail(key);
  return value.toString().toStdString();
}

// A name or memo of an entry, under the phone book's own limits.
std::string EntryText(const QJsonObject& o, const char* key) {
  const QJsonValue value = o.value(key);
  const std::string text = value.toString().toStdString();
  if ((!value.isString() && !value.isUndefined()) || !EntryTextProblem(key, text).empty())
    Fail(key);
  return text;
}

// A number names an entry: the phone book's own rules.
std::string Number(const QJsonValue& value) {
  const std::string number = value.toString().toStdString();
  if (!value.isString() || !NumberProblem(number).empty())
    Fail("number");
  return number;
}

int64_t Int64(const QJsonObject& o, const char* key) {
  const QJsonValue value = o.value(key);
  // Exact in a double up to 2^53.
  if (!IsJsonInteger(value, 0, 9007199254740992.0))
    Fail(key);
  return static_cast<int64_t>(value.toDouble());
}

// At most MaxEditEntries items: a larger edit is never made.
QJsonArray Array(const QJsonObject& o, const char* key) {
  const QJsonValue value = o.value(key);
  if ((!value.isArray() && !value.isUndefined()) ||
      value.toArray().size() > static_cast<qsizetype>(MaxEditEntries))
    Fail(key);
  return value.toArray();
}

// What a skipped item was: its number as far as it is one, and why.
std::string Skipped(const QJsonValue& number, const ECallMessageError& e) {
  return fmt::format("[{}] {}", WithoutControlCharacters(number.toString().left(40).toStdString()),
                     e.Message());
}

} // namespace

QJsonObject BookEntryJson(const TBookEntry& e) {
  return {{"number", Q(e.Number)},  {"owner_name", Q(e.OwnerName)}, {"memo1", Q(e.Memo1)},
          {"memo2", Q(e.Memo2)},    {"memo3", Q(e.Memo3)},          {"created", Q(e.Created)},
          {"updated", Q(e.Updated)}};
}

TBookEntry BookEntryOf(const QJsonValue& value) {
  const QJsonObject o = ObjectOf(value, "entry");
  return {Number(o.value("number")), EntryText(o, "owner_name"), EntryText(o, "memo1"),
          EntryText(o, "memo2"),     EntryText(o, "memo3"),      Text(o, "created", 23),
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
  c.Kind = Text(o, "kind", 20);
  if (std::find(std::begin(Kinds), std::end(Kinds), c.Kind) == std::end(Kinds))
    Fail("kind");
  for (const QJsonValue& entry : Array(o, "entries")) {
    try {
      c.Entries.push_back(BookEntryOf(entry));
    } catch (const ECallMessageError& e) {
      c.Skipped.push_back(Skipped(entry.toObject().value("number"), e));
    }
  }
  for (const QJsonValue& number : Array(o, "numbers")) {
    try {
      c.Numbers.push_back(Number(number));
    } catch (const ECallMessageError& e) {
      c.Skipped.push_back(Skipped(number, e));
    }
  }
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
  return ShareJson(BookVersionJson(version));
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
