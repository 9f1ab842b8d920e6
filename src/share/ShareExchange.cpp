#include "share/ShareExchange.h"

#include "share/CallMessage.h"
#include "share/ShareJson.h"
#include "share/ShareTopics.h"
#include "share/Station.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>
#include <fmt/format.h>
#include <random>

namespace {

// A page of a few hundred calls is far below this; an import of a whole
// phone book of long memos is not.
constexpr qsizetype kMaxPayloadBytes = 16 * 1024 * 1024;

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// A name that also serves as a topic level, which every broker and client
// library takes: letters, digits, "_" and "-" (an id is a desk's id, a run
// and a count).
std::string Name(const QJsonObject& o, const char* key) {
  const QJsonValue value = o.value(key);
  const std::string text = value.toString().toStdString();
  if (!value.isString() || !IsShareName(text, 200))
    throw ECallMessageError(fmt::format("{} が正しくありません", key));
  return text;
}

// The items as compact JSON in the zlib format, in base64: a page of calls
// shrinks to a tenth, and a websocket that the broker writes a few KB per
// turn of its loop delivers it that much sooner.
QString DeflatedItems(const QJsonArray& items) {
  // qCompress puts the length before the zlib stream; the stream alone is the
  // format every browser inflates.
  const QByteArray zlib = qCompress(QJsonDocument(items).toJson(QJsonDocument::Compact)).mid(4);
  return QString::fromLatin1(zlib.toBase64());
}

// A page asked larger than the station gives is given its largest; one
// that is no count at all, the subject's own.
int PageOf(const QJsonValue& value) {
  const double d = value.toDouble(0);
  if (d < 1 || std::floor(d) != d)
    return 0;
  return d > MaxSharePage ? MaxSharePage : static_cast<int>(d);
}

} // namespace

QJsonObject ShareJsonObject(const std::string& payload) {
  if (static_cast<qsizetype>(payload.size()) > kMaxPayloadBytes)
    throw ECallMessageError("大きすぎます");
  QJsonParseError error{};
  const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(payload), &error);
  if (error.error != QJsonParseError::NoError || !doc.isObject())
    throw ECallMessageError("JSONのオブジェクトではありません");
  CheckShareVersion(doc.object());
  return doc.object();
}

std::string EncodeShareRequest(const TShareRequest& r) {
  return ShareJson({{"id", Q(r.Id)}, {"desk", Q(r.Desk)}, {"what", Q(r.What)}, {"after", r.After}});
}

TShareRequest DecodeShareRequest(const std::string& payload) {
  const QJsonObject o = ShareJsonObject(payload);
  return {Name(o, "id"),
          Name(o, "desk"),
          Name(o, "what"),
          o.value("after"),
          o.value("deflate").toBool(false),
          PageOf(o.value("page"))};
}

TShareRequest DecodeShareRequestFrom(const std::string& from, const std::string& payload) {
  TShareRequest request = DecodeShareRequest(payload);
  if (request.Desk != from && StationOfDeskId(request.Desk) != from)
    throw ECallMessageError("desk が依頼のトピックと違います");
  return request;
}

std::string StationOfDeskId(const std::string& desk) {
  constexpr size_t kToken = 16;
  if (desk.size() < kToken + 2 || desk[desk.size() - kToken - 1] != '-')
    return {};
  const std::string_view token = std::string_view(desk).substr(desk.size() - kToken);
  if (!std::all_of(token.begin(), token.end(),
                   [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }))
    return {};
  return desk.substr(0, desk.size() - kToken - 1);
}

std::string AnswerTopic(const std::string& base, const std::string& station,
                        const std::string& desk) {
  const std::string asker = StationOfDeskId(desk);
  return ResponseTopic(base, station, asker.empty() ? desk : asker);
}

std::string EncodeShareResponse(const TShareResponse& r) {
  QJsonObject o{{"id", Q(r.Id)}, {"station", Q(r.Station)}, {"what", Q(r.What)}, {"more", r.More}};
  if (r.Deflate)
    o["items_deflate"] = DeflatedItems(r.Items);
  else
    o["items"] = r.Items;
  if (!r.Desk.empty())
    o["desk"] = Q(r.Desk);
  if (!r.BookId.empty())
    o["book_id"] = Q(r.BookId);
  return ShareJson(std::move(o));
}

TShareResponse DecodeShareResponse(const std::string& payload) {
  const QJsonObject o = ShareJsonObject(payload);
  if (!o.value("items").isArray())
    throw ECallMessageError("items が配列ではありません");
  return {Name(o, "id"),
          Name(o, "station"),
          Name(o, "what"),
          o.value("items").toArray(),
          o.value("more").toBool(false),
          o.contains("desk") ? Name(o, "desk") : std::string(),
          o.contains("book_id") ? Name(o, "book_id") : std::string()};
}

TShareRequests::TShareRequests(std::string desk)
    : desk_(std::move(desk)), run_(fmt::format("{:08x}", std::random_device()())) {}

std::string TShareRequests::NewId() {
  return fmt::format("{}-{}-{}", desk_, run_, ++count_);
}

std::optional<TShareRequest> TShareRequests::Ask(const std::string& station,
                                                 const std::string& what, QJsonValue after,
                                                 TDateTime now) {
  for (TAsked& asked : asked_)
    if (asked.Station == station && asked.Request.What == what) {
      asked.AskAgain = true;
      return std::nullopt;
    }
  asked_.push_back({station, {NewId(), desk_, what, std::move(after)}, now, false});
  return asked_.back().Request;
}

std::optional<TShareRequests::TAnswered> TShareRequests::Answered(const TShareResponse& response) {
  const auto it = std::find_if(asked_.begin(), asked_.end(), [&](const TAsked& a) {
    return a.Request.Id == response.Id && a.Station == response.Station &&
           a.Request.What == response.What;
  });
  if (it == asked_.end())
    return std::nullopt;
  TAnswered answered{it->Station, it->AskAgain};
  asked_.erase(it);
  return answered;
}

std::vector<std::pair<std::string, TShareRequest>> TShareRequests::Overdue(TDateTime since,
                                                                           TDateTime now) {
  std::vector<std::pair<std::string, TShareRequest>> again;
  for (TAsked& asked : asked_)
    if (asked.SentAt < since) {
      asked.Request.Id = NewId();
      asked.SentAt = now;
      again.emplace_back(asked.Station, asked.Request);
    }
  return again;
}

void TShareRequests::Forget(const std::string& station) {
  std::erase_if(asked_, [&](const TAsked& a) { return a.Station == station; });
}
