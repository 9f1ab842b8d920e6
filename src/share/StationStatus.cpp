#include "share/StationStatus.h"

#include "share/CallMessage.h"
#include "share/ShareExchange.h"
#include "share/ShareJson.h"
#include "share/ShareTopics.h"
#include "share/Station.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <fmt/format.h>

namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// Absent from an older station: "".
std::string Id(const QJsonObject& o, const char* key) {
  const QJsonValue value = o.value(key);
  if (value.isUndefined())
    return {};
  if (!value.isString() || !IsShareId(value.toString().toStdString()))
    throw ECallMessageError(fmt::format("{} が正しくありません", key));
  return value.toString().toStdString();
}

} // namespace

bool IsShareId(const std::string& id) {
  return id.size() == 16 && std::all_of(id.begin(), id.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

TMqttMessage StatusMessage(const std::string& base, const TStationStatus& s) {
  QJsonObject o{{"station", Q(s.Station)},
                {"online", s.Online},
                {"adapter", s.Online && s.Adapter},
                {"ringing", s.Online && s.Ringing}};
  if (!s.Instance.empty())
    o["instance"] = Q(s.Instance);
  if (!s.Run.empty())
    o["run"] = Q(s.Run);
  return {StatusTopic(base, s.Station), ShareJson(std::move(o)), true};
}

TStationStatus DecodeStationStatus(const std::string& payload) {
  const QJsonObject o = ShareJsonObject(payload);
  TStationStatus s;
  // The topic names the station too: a status may leave it out.
  s.Station = o.value("station").toString().toStdString();
  if (o.contains("station") && !IsShareName(s.Station))
    throw ECallMessageError("station が正しくありません");
  s.Online = o.value("online").toBool(false);
  s.Adapter = s.Online && o.value("adapter").toBool(false);
  s.Ringing = s.Online && o.value("ringing").toBool(false);
  s.Instance = Id(o, "instance");
  s.Run = Id(o, "run");
  return s;
}
