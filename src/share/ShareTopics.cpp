#include "share/ShareTopics.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

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

std::string LastCallerTopic(const std::string& base) {
  return base + "/last_caller";
}

std::string RingingTopic(const std::string& base) {
  return base + "/ringing";
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
  config["availability_topic"] = Q(StatusTopic(base));
  config["availability_template"] = "{{ 'online' if value_json.online else 'offline' }}";
  config["device"] = device;
  return config;
}

} // namespace

std::string CallTopic(const std::string& base) {
  return base + "/call";
}

std::string StatusTopic(const std::string& base) {
  return base + "/status";
}

TMqttMessage StatusMessage(const std::string& base, const std::string& station, bool online,
                           bool adapterConnected) {
  QJsonObject status;
  status["station"] = Q(station);
  status["online"] = online;
  status["adapter"] = online && adapterConnected;
  return {StatusTopic(base), Json(status), true};
}

std::vector<TMqttMessage> DiscoveryMessages(const std::string& base, const std::string& station,
                                            bool enabled) {
  const std::string node = NodeId(station);
  QJsonObject caller = SensorConfig(base, station, "最終着信", "last_caller");
  caller["state_topic"] = Q(LastCallerTopic(base));
  caller["json_attributes_topic"] = Q(LastCallerTopic(base) + "/attributes");
  caller["icon"] = "mdi:phone-incoming";
  QJsonObject ringing = SensorConfig(base, station, "着信中", "ringing");
  ringing["state_topic"] = Q(RingingTopic(base));
  ringing["payload_on"] = "ON";
  ringing["payload_off"] = "OFF";
  ringing["icon"] = "mdi:phone-ring";
  return {
      {"homeassistant/sensor/" + node + "/last_caller/config", enabled ? Json(caller) : "", true},
      {"homeassistant/binary_sensor/" + node + "/ringing/config", enabled ? Json(ringing) : "",
       true}};
}

std::vector<TMqttMessage> HubStateMessages(const std::string& base, const TCallMessage& m) {
  const bool ringing = m.Kind == 1 || m.Kind == 2;
  std::vector<TMqttMessage> states{{RingingTopic(base), ringing ? "ON" : "OFF", true}};
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
  states.push_back({LastCallerTopic(base) + "/attributes", Json(attributes), true});
  states.push_back({LastCallerTopic(base), m.PhoneNumber, true});
  return states;
}
