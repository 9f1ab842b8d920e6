#include "share/ShareTopics.h"
#include "share/ShareConnection.h"
#include "share/ShareExchange.h"
#include "share/Station.h"
#include "share/StationStatus.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {

QJsonObject Object(const std::string& json) {
  return QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
}

} // namespace

TEST(ShareTopicsTest, StatusIsRetainedPerStationAndOfflineHasNoAdapterAndNoRing) {
  TStationStatus status{"desk1", true, true, true, "0123456789abcdef", "fedcba9876543210"};
  const TMqttMessage online = StatusMessage("office", status);
  EXPECT_EQ(online.Topic, "office/desk1/status");
  EXPECT_TRUE(online.Retain);
  EXPECT_EQ(online.Payload, R"({"adapter":true,"instance":"0123456789abcdef","online":true,)"
                            R"("ringing":true,"run":"fedcba9876543210","station":"desk1","v":1})");
  EXPECT_EQ(DecodeStationStatus(online.Payload), status);
  status.Online = false;
  EXPECT_EQ(StatusMessage("office", {"desk1", false, true, true, "", ""}).Payload,
            R"({"adapter":false,"online":false,"ringing":false,"station":"desk1","v":1})");
  EXPECT_EQ(DecodeStationStatus(StatusMessage("office", status).Payload),
            (TStationStatus{"desk1", false, false, false, status.Instance, status.Run}));
  EXPECT_TRUE(StatusSaysOnline(online.Payload));
  EXPECT_FALSE(StatusSaysOnline("online"));
  for (const char* bad :
       {R"({"station":"a b","online":true})", R"({"station":5})",
        R"({"station":"a","instance":"0123456789ABCDEF"})", R"({"station":"a","run":7})"})
    EXPECT_THROW(DecodeStationStatus(bad), ECallMessageError) << bad;
}

TEST(ShareTopicsTest, NamesFromTheNetworkAreLettersDigitsUnderscoresAndHyphens) {
  EXPECT_TRUE(IsShareName("Desk_1-a"));
  EXPECT_TRUE(IsShareName(std::string(64, 'a')));
  for (const std::string& bad :
       {std::string(), std::string(65, 'a'), std::string("a b"), std::string("a\x7f"),
        std::string("\xef\xbf\xbe"), std::string("\xc2\x85"), std::string("a.b")})
    EXPECT_FALSE(IsShareName(bad)) << bad;
  EXPECT_EQ(ShareStationName("受付\x7f"
                             "1"),
            "_______1");
  EXPECT_EQ(ShareStationName(std::string(70, 'x')).size(), 64u);
  using K = TShareTopic::TKind;
  EXPECT_EQ(ParseShareTopic("office", "office/desk1/call").Kind, K::Call);
  EXPECT_EQ(ParseShareTopic("office", "office/desk\x7f/call").Kind, K::Other);
  EXPECT_EQ(ParseShareTopic("office", "office/desk1/response/a\xc2\x85").Kind, K::Other);
  EXPECT_EQ(ParseShareTopic("office", "office/desk1/response/desk2-0123456789abcdef").Desk,
            "desk2-0123456789abcdef");
  EXPECT_EQ(ParseShareTopic("office", "office/book/edit/desk2").Kind, K::Edit);
  EXPECT_THROW(DecodeShareRequest(R"({"id":"a","desk":"x\u007f","what":"calls"})"),
               ECallMessageError);
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
  EXPECT_EQ(sender.Subscriptions,
            (std::vector<std::string>{"office/desk1/request/+", "office/desk1/status",
                                      "office/desk1/edit/+"}));
  ASSERT_TRUE(sender.Will);
  EXPECT_EQ(sender.Will->Payload,
            StatusMessage("office", {"desk1", false, false, false, "", ""}).Payload);
  // Two PCs under one name never share a client id.
  const TStationStatus identity{"desk1", true, true, false, "0123456789abcdef", "1111111111111111"};
  const TMqttOptions named = ShareClientOptions(s, "desk1", identity);
  EXPECT_EQ(named.ClientId.substr(named.ClientId.size() - 17), "-0123456789abcdef");
  EXPECT_EQ(DecodeStationStatus(named.Will->Payload),
            (TStationStatus{"desk1", false, false, false, identity.Instance, identity.Run}));
  EXPECT_TRUE(sender.Will->Retain);
  EXPECT_EQ(ShareStationName(" a/b+#\n "), "a_b__");
  // Another PC's phone book: its changes, its status and its answers, none twice.
  s.BookStation = "pc9";
  EXPECT_EQ(ShareClientOptions(s, "desk1").Subscriptions,
            (std::vector<std::string>{"office/desk1/request/+", "office/desk1/status",
                                      "office/pc9/book", "office/desks/pc9", "office/pc9/status",
                                      "office/pc9/response/desk1"}));
  s.Mode = 2;
  EXPECT_EQ(ShareClientOptions(s, "desk1").Subscriptions,
            (std::vector<std::string>{"office/+/call", "office/+/status", "office/+/response/desk1",
                                      "office/pc9/book", "office/desks/pc9"}));
}
