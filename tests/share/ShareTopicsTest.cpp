#include "share/ShareTopics.h"
#include "share/ShareConnection.h"
#include "share/Station.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {

QJsonObject Object(const std::string& json) {
  return QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
}

} // namespace

TEST(ShareTopicsTest, StatusIsRetainedPerStationAndOfflineHasNoAdapterAndNoRing) {
  const TMqttMessage online = StatusMessage("office", "desk1", true, true, true);
  EXPECT_EQ(online.Topic, "office/desk1/status");
  EXPECT_TRUE(online.Retain);
  EXPECT_EQ(online.Payload, R"({"adapter":true,"online":true,"ringing":true,"station":"desk1"})");
  EXPECT_EQ(StatusMessage("office", "desk1", false, true, true).Payload,
            R"({"adapter":false,"online":false,"ringing":false,"station":"desk1"})");
  EXPECT_TRUE(StatusSaysOnline(online.Payload));
  EXPECT_FALSE(StatusSaysOnline("online"));
}

TEST(ShareTopicsTest, DiscoveryMakesTwoSensorsOfOneDeviceOrRemovesThem) {
  const auto on = DiscoveryMessages("office", "desk.1", true);
  ASSERT_EQ(on.size(), 2u);
  EXPECT_EQ(on[0].Topic, "homeassistant/sensor/teloria2_desk_1/last_caller/config");
  EXPECT_EQ(on[1].Topic, "homeassistant/binary_sensor/teloria2_desk_1/ringing/config");
  const QJsonObject caller = Object(on[0].Payload);
  EXPECT_EQ(caller["state_topic"].toString(), "office/desk.1/last_caller");
  EXPECT_EQ(caller["json_attributes_topic"].toString(), "office/desk.1/last_caller/attributes");
  EXPECT_EQ(caller["unique_id"].toString(), "teloria2_desk_1_last_caller");
  EXPECT_EQ(caller["availability_topic"].toString(), "office/desk.1/status");
  EXPECT_NE(caller["availability_template"].toString().indexOf("value_json.adapter"), -1);
  const QJsonObject ringing = Object(on[1].Payload);
  EXPECT_EQ(ringing["state_topic"].toString(), "office/desk.1/status");
  EXPECT_EQ(ringing["payload_on"].toString(), "ON");
  EXPECT_EQ(ringing["device"].toObject()["identifiers"],
            caller["device"].toObject()["identifiers"]);
  for (const TMqttMessage& m : on)
    EXPECT_TRUE(m.Retain);
  for (const TMqttMessage& m : DiscoveryMessages("office", "desk.1", false))
    EXPECT_TRUE(m.Retain && m.Payload.empty()) << m.Topic;
}

TEST(ShareTopicsTest, HubStatesFollowTheCall) {
  TCallMessage m;
  m.Station = "desk1";
  m.PhoneNumber = "0312345678";
  m.OwnerName = "山田";
  std::vector<std::string> ringing;
  for (const int kind : {1, 2, 3, 4, 5, 7}) {
    m.Kind = kind;
    const auto states = HubStateMessages("office", m);
    ringing.push_back(states.at(0).Payload);
    EXPECT_EQ(states.size(), kind == 2 ? 3u : 1u);
  }
  EXPECT_EQ(ringing, (std::vector<std::string>{"ON", "ON", "OFF", "OFF", "OFF", "OFF"}));
  m.Kind = 2;
  const auto states = HubStateMessages("office", m);
  EXPECT_EQ(states[1].Topic, "office/desk1/last_caller/attributes");
  EXPECT_EQ(Object(states[1].Payload)["owner_name"].toString(), QString::fromUtf8("山田"));
  EXPECT_EQ(states[2].Topic, "office/desk1/last_caller");
  EXPECT_EQ(states[2].Payload, "0312345678");
}

TEST(ShareTopicsTest, OnlyCredentialsInClearToAnotherMachineAreWarnedOf) {
  const struct {
    const char* host;
    const char* user;
    const char* caFile;
    bool warned;
  } cases[] = {
      {"broker.office", "office", "", true},
      {"192.168.1.5", "", "", false},
      {"192.168.1.5", "office", "ca.pem", false},
      {"localhost", "office", "", false},
      {"127.0.0.2", "office", "", false},
      {"::1", "office", "", false},
      {"fe80::1", "office", "", true},
  };
  for (const auto& c : cases) {
    TShareSettings s;
    s.Host = c.host;
    s.User = c.user;
    s.CaFile = c.caFile;
    EXPECT_EQ(CredentialsInClear(s), c.warned) << c.host;
  }
  EXPECT_TRUE(IsLocalHost(StationName()));
}

TEST(ShareTopicsTest, ReceiverKeepsItsSessionAndSenderLeavesAWill) {
  TShareSettings s;
  s.Topic = "office";
  s.Mode = 2;
  const TMqttOptions receiver = ShareClientOptions(s, "desk1");
  EXPECT_FALSE(receiver.CleanSession);
  EXPECT_EQ(receiver.ClientId.rfind("teloria2-recv-desk1", 0), 0u);
  EXPECT_EQ(receiver.Subscriptions, (std::vector<std::string>{"office/+/call", "office/+/status",
                                                              "office/+/response/desk1"}));
  ASSERT_TRUE(receiver.Will);
  EXPECT_EQ(receiver.Will->Topic, "office/desks/desk1");
  EXPECT_TRUE(receiver.Will->Retain);
  EXPECT_FALSE(StatusSaysOnline(receiver.Will->Payload));
  s.Mode = 1;
  const TMqttOptions sender = ShareClientOptions(s, "desk1");
  EXPECT_TRUE(sender.CleanSession);
  EXPECT_EQ(sender.Subscriptions, std::vector<std::string>{"office/desk1/request/+"});
  ASSERT_TRUE(sender.Will);
  EXPECT_EQ(sender.Will->Payload, StatusMessage("office", "desk1", false, false, false).Payload);
  EXPECT_TRUE(sender.Will->Retain);
  EXPECT_EQ(ShareStationName(" a/b+#\n "), "a_b__");
  // Another PC's phone book: its changes, its status and its answers, none twice.
  s.BookStation = "pc9";
  EXPECT_EQ(
      ShareClientOptions(s, "desk1").Subscriptions,
      (std::vector<std::string>{"office/desk1/request/+", "office/pc9/book", "office/desks/pc9",
                                "office/pc9/status", "office/pc9/response/desk1"}));
  s.Mode = 2;
  EXPECT_EQ(ShareClientOptions(s, "desk1").Subscriptions,
            (std::vector<std::string>{"office/+/call", "office/+/status", "office/+/response/desk1",
                                      "office/pc9/book", "office/desks/pc9"}));
}
