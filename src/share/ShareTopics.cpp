#include "share/ShareTopics.h"

#include "base/Text.h"
#include "share/CallMessage.h"
#include "share/ShareExchange.h"
#include "share/ShareJson.h"
#include "share/Station.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const char* const kDesks = "desks";

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

std::string Json(const QJsonObject& object) {
  return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

// The hub's ids allow letters, digits, "_" and "-" only.
std::string NodeId(const std::string& station) {
  std::string id = "teloria2_";
  for (const char c : station) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '_' || c == '-';
    id += plain ? c : '_';
  }
  return id;
}

std::string StationTopic(const std::string& base, const std::string& station, const char* leaf) {
  return base + "/" + station + "/" + leaf;
}

std::string LastCallerTopic(const std::string& base, const std::string& station) {
  return StationTopic(base, station, "last_caller");
}

// What both sensors share: the device they belong to and when they are available.
QJsonObject SensorConfig(const std::string& base, const std::string& station, const char* name,
                         const char* key) {
  const std::string node = NodeId(station);
  QJsonObject device;
  device["identifiers"] = QJsonArray{Q(node)};
  device["name"] = Q("Teloria II (" + station + ")");
  device["manufacturer"] = "Teloria II";
  device["sw_version"] = TELORIA_VERSION;
  QJsonObject config;
  config["name"] = QString::fromUtf8(name);
  config["unique_id"] = Q(node + "_" + key);
  config["availability_topic"] = Q(StatusTopic(base, station));
  config["availability_template"] =
      "{{ 'online' if value_json.online and value_json.adapter else 'offline' }}";
  config["device"] = device;
  return config;
}

} // namespace

std::string CallTopic(const std::string& base, const std::string& station) {
  return StationTopic(base, station, "call");
}

std::string StatusTopic(const std::string& base, const std::string& station) {
  return StationTopic(base, station, "status");
}

std::string RequestTopic(const std::string& base, const std::string& station,
                         const std::string& desk) {
  return StationTopic(base, station, "request/") + desk;
}

std::string EditTopic(const std::string& base, const std::string& station,
                      const std::string& desk) {
  return StationTopic(base, station, "edit/") + desk;
}

std::string ResponseTopic(const std::string& base, const std::string& station,
                          const std::string& desk) {
  return StationTopic(base, station, "response/") + desk;
}

std::string BookTopic(const std::string& base, const std::string& station) {
  return StationTopic(base, station, "book");
}

std::string DeskTopic(const std::string& base, const std::string& desk) {
  return base + "/" + kDesks + "/" + desk;
}

TShareTopic ParseShareTopic(const std::string& base, const std::string& topic) {
  using TKind = TShareTopic::TKind;
  if (topic.size() <= base.size() + 1 || topic.compare(0, base.size(), base) != 0 ||
      topic[base.size()] != '/')
    return {};
  const std::vector<std::string> levels = SplitString(topic.substr(base.size() + 1), '/');
  for (const std::string& level : levels)
    if (level.empty())
      return {};
  if (levels[0] == kDesks)
    return levels.size() == 2 && IsShareName(levels[1], MaxDeskIdChars)
               ? TShareTopic{TKind::Desk, {}, levels[1]}
               : TShareTopic{};
  if (!IsShareName(levels[0]))
    return {};
  if (levels.size() == 3) {
    const TKind kind = levels[1] == "response"  ? TKind::Response
                       : levels[1] == "request" ? TKind::Request
                       : levels[1] == "edit"    ? TKind::Edit
                                                : TKind::Other;
    return kind != TKind::Other && IsShareName(levels[2], MaxDeskIdChars)
               ? TShareTopic{kind, levels[0], levels[2]}
               : TShareTopic{};
  }
  if (levels.size() != 2)
    return {};
  const TKind kind = levels[1] == "call"     ? TKind::Call
                     : levels[1] == "status" ? TKind::Status
                     : levels[1] == "book"   ? TKind::Book
                                             : TKind::Other;
  return kind == TKind::Other ? TShareTopic{} : TShareTopic{kind, levels[0], {}};
}

TMqttMessage DeskMessage(const std::string& base, const std::string& desk, bool online) {
  QJsonObject status;
  status["station"] = Q(desk);
  status["online"] = online;
  return {DeskTopic(base, desk), ShareJson(std::move(status)), true};
}

bool StatusSaysOnline(const std::string& payload) {
  try {
    return ShareJsonObject(payload).value("online").toBool(false);
  } catch (const ECallMessageError&) {
    return false;
  }
}

std::vector<TMqttMessage> DiscoveryMessages(const std::string& base, const std::string& station,
                                            bool enabled) {
  const std::string node = NodeId(station);
  QJsonObject caller = SensorConfig(base, station, "最終着信", "last_caller");
  caller["state_topic"] = Q(LastCallerTopic(base, station));
  caller["json_attributes_topic"] = Q(LastCallerTopic(base, station) + "/attributes");
  caller["icon"] = "mdi:phone-incoming";
  // Read from the status, which the broker's will turns off with the station.
  QJsonObject ringing = SensorConfig(base, station, "着信中", "ringing");
  ringing["state_topic"] = Q(StatusTopic(base, station));
  ringing["value_template"] = "{{ 'ON' if value_json.ringing else 'OFF' }}";
  ringing["payload_on"] = "ON";
  ringing["payload_off"] = "OFF";
  ringing["icon"] = "mdi:phone-ring";
  return {
      {"homeassistant/sensor/" + node + "/last_caller/config", enabled ? Json(caller) : "", true},
      {"homeassistant/binary_sensor/" + node + "/ringing/config", enabled ? Json(ringing) : "",
       true}};
}

bool Rings(int kind) {
  return kind == 1 || kind == 2;
}

TMqttMessage NotRingingMessage(const std::string& base, const std::string& station) {
  return {StationTopic(base, station, "ringing"), "OFF", true};
}

std::vector<TMqttMessage> HubStateMessages(const std::string& base, const TCallMessage& m) {
  std::vector<TMqttMessage> states{
      {StationTopic(base, m.Station, "ringing"), Rings(m.Kind) ? "ON" : "OFF", true}};
  if (m.Kind != 2)
    return states;
  QJsonObject attributes;
  attributes["owner_name"] = Q(m.OwnerName);
  attributes["memo1"] = Q(m.Memo1);
  attributes["memo2"] = Q(m.Memo2);
  attributes["memo3"] = Q(m.Memo3);
  attributes["station"] = Q(m.Station);
  attributes["incoming_date"] = m.IncomingDate ? QJsonValue(Q(*m.IncomingDate)) : QJsonValue();
  // Attributes first, so the hub never shows the new number with the old name.
  states.push_back({LastCallerTopic(base, m.Station) + "/attributes", Json(attributes), true});
  states.push_back({LastCallerTopic(base, m.Station), m.PhoneNumber, true});
  return states;
}
