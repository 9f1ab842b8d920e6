// What makes delivery safe: the bounded outbox with its resending, the
// sequence check, the desk's filter, and the requests of the catch-up.
#include "fakes/FakeMqttClients.h"
#include "share/BookMessages.h"
#include "share/CallCatchUp.h"
#include "share/CallReceiver.h"
#include "share/CallSender.h"
#include "share/MqttOutbox.h"
#include "share/ShareTopics.h"
#include "share/StationSequence.h"

#include <QJsonDocument>
#include <gtest/gtest.h>
#include <tuple>

namespace {

TMqttMessage M(const std::string& payload) {
  return {"t", payload, false};
}

std::vector<std::string> Drain(TMqttOutbox& box, int& mid) {
  std::vector<std::string> sent;
  while (const TMqttMessage* next = box.Next()) {
    sent.push_back(next->Payload);
    box.MarkSent(++mid);
  }
  return sent;
}

} // namespace

TEST(DeliveryTest, OutboxResendsWhatWasNotAcknowledgedInOrderAndDropsTheOldestWaiting) {
  TMqttOutbox box(4);
  int mid = 0;
  box.Add(M("a"));
  box.Add(M("b"));
  box.Add(M("c"));
  EXPECT_EQ(Drain(box, mid), (std::vector<std::string>{"a", "b", "c"}));
  box.Acknowledged(2);
  box.Acknowledged(99); // unknown: ignored
  box.Add(M("d"));
  box.ConnectionLost();
  EXPECT_EQ(box.Unacknowledged(), 0u);
  EXPECT_EQ(Drain(box, mid), (std::vector<std::string>{"a", "c", "d"}));

  // Full: the oldest waiting message makes room; handed-over ones stay.
  box.ConnectionLost();
  EXPECT_EQ(box.Add(M("e")), 0u);
  EXPECT_EQ(box.Add(M("f")), 1u);
  EXPECT_EQ(box.Waiting(), 4u);
  EXPECT_EQ(Drain(box, mid), (std::vector<std::string>{"c", "d", "e", "f"}));
  EXPECT_EQ(box.Add(M("g")), 1u); // nothing waits: the new one goes
  EXPECT_EQ(box.Waiting(), 0u);
  EXPECT_EQ(box.Unacknowledged(), 4u);
}

TEST(DeliveryTest, StationSequencesTellRepeatsAndGaps) {
  using V = TStationSequences::TVerdict;
  TStationSequences seen;
  const std::vector<std::pair<std::string, V>> ids{
      {"d-1-4", V::Gap},     {"d-1-5", V::Next},    {"d-1-5", V::Repeated}, {"d-1-3", V::Repeated},
      {"d-1-7", V::Gap},     {"d-2-1", V::Next},    {"d-2-3", V::Gap},      {"no count", V::Next},
      {"a-b-c-2-8", V::Gap}, {"a-b-c-2-9", V::Next}};
  for (const auto& [id, verdict] : ids)
    EXPECT_EQ(seen.Check(id.substr(0, 1), id), verdict) << id;
  EXPECT_EQ(seen.Check("e", "e-1-1"), V::Gap); // nothing known before it
}

TEST(DeliveryTest, DeskTakesCallsOnceFromAllowedStationsAndOnlyItsOwnAnswers) {
  TCallReceiver desk("office", "reception", " desk1, desk2 ");
  TCallMessage call;
  call.Id = "desk1-r-1";
  call.Station = "desk1";
  call.Kind = 2;
  const std::string payload = EncodeCallMessage(call);
  const std::string answer =
      EncodeShareResponse({"reception-r-1", "desk1", "calls", QJsonArray{}, false});
  using K = TDeskInput::TKind;
  const std::vector<std::pair<TMqttMessage, K>> cases{
      {{"office/desk1/call", payload, true}, K::Nothing}, // retained: an old message
      {{"office/desk3/call", payload}, K::Nothing},       // not in the list
      {{"office/desk2/call", payload}, K::Nothing},       // says another station
      {{"office/desk1/call", "{"}, K::Nothing},
      {{"office/desk1/call", payload}, K::Call},
      {{"office/desk1/call", payload}, K::Nothing}, // delivered twice
      {{"office/desk1/status", R"({"online":true})", true}, K::Status},
      {{"office/desk1/response/other", answer}, K::Nothing},
      {{"office/desk1/response/reception", answer}, K::Response},
      {{"other/desk1/call", payload}, K::Nothing},
  };
  for (const auto& [message, kind] : cases)
    EXPECT_EQ(desk.Take(message).Kind, kind) << message.Topic << " " << message.Payload;
}

TEST(DeliveryTest, ASecondPcUnderAStationsNameSendsNothingAndTheFirstKeepsItsStatus) {
  TFakeMqttClients clients;
  const auto client = clients.Factory()({}, nullptr, {});
  const auto pc = [](char instance, char run) {
    return TStationStatus{
        "desk1", true, false, false, std::string(16, instance), std::string(16, run)};
  };
  const auto status = [](const TStationStatus& s) { return StatusMessage("office", s); };
  using U = TCallSender::TNameUse;
  TCallSender first(*client, "office", pc('a', '1'), false);
  TCallSender second(*client, "office", pc('b', '2'), false);
  first.Announce(true);
  EXPECT_EQ(first.TakeOwnStatus(status(pc('a', '0'))), U::Own); // its last run's, retained
  EXPECT_EQ(first.TakeOwnStatus(status(pc('a', '1'))), U::Own);
  // The broker hands the second the first's retained status, then its own;
  // the first answers with its own again, which stops the second.
  second.Announce(true);
  EXPECT_EQ(second.TakeOwnStatus(status(pc('a', '1'))), U::Own);
  EXPECT_EQ(second.TakeOwnStatus(status(pc('b', '2'))), U::Own);
  EXPECT_EQ(first.TakeOwnStatus(status(pc('b', '2'))), U::Another);
  EXPECT_EQ(DecodeStationStatus(clients.Published.back().Payload).Instance, std::string(16, 'a'));
  EXPECT_EQ(second.TakeOwnStatus(clients.Published.back()), U::Refused);
  const size_t published = clients.Published.size();
  second.Send({});
  second.Offline();
  EXPECT_FALSE(
      second.RequestOf({"office/desk1/request", R"({"id":"r","desk":"d","what":"calls"})"}));
  EXPECT_EQ(clients.Published.size(), published);
  // A status left behind by a PC long gone stops nobody.
  TCallSender third(*client, "office", pc('c', '3'), false);
  third.Announce(true);
  EXPECT_EQ(third.TakeOwnStatus(status(pc('a', '1'))), U::Own);
  EXPECT_EQ(third.TakeOwnStatus(status(pc('c', '3'))), U::Own);
  EXPECT_FALSE(third.Refused());
}

TEST(DeliveryTest, OneRequestPerStationOnItsWayAskedAgainWhenOverdue) {
  TShareRequests requests("reception");
  const auto first = requests.Ask("desk1", "calls", QJsonValue(), 1.0);
  ASSERT_TRUE(first);
  EXPECT_FALSE(requests.Ask("desk1", "calls", QJsonValue(), 1.0)); // asked again once answered
  ASSERT_TRUE(requests.Ask("desk2", "calls", QJsonValue(), 2.0));
  EXPECT_FALSE(requests.Answered({first->Id, "desk2", "calls", {}, false}));
  const auto overdue = requests.Overdue(1.5, 3.0);
  ASSERT_EQ(overdue.size(), 1u);
  EXPECT_EQ(overdue[0].first, "desk1");
  EXPECT_FALSE(requests.Answered({first->Id, "desk1", "calls", {}, false})); // its old id
  const auto answered = requests.Answered({overdue[0].second.Id, "desk1", "calls", {}, false});
  ASSERT_TRUE(answered);
  EXPECT_TRUE(answered->AskAgain);
  requests.Forget("desk2");
  EXPECT_FALSE(requests.Waiting());
}

TEST(DeliveryTest, CaughtUpCallsTravelWholeAndOnlyWithStoredDates) {
  const TCallRecord call{
      5, "2026/12/08 07:05:03.250", "0312345678", 2, true, 6, 95, "山田商店", "取引先", "", "午後"};
  EXPECT_EQ(CallRecordOf(QJsonValue(CallRecordJson(call))), call);
  for (const bool byOrder : {false, true}) {
    const TCallMark mark{call.Order, call.Date, byOrder};
    EXPECT_EQ(CallMarkOf(CallMarkJson(mark)), mark);
  }
  EXPECT_FALSE(CallMarkOf(CallMarkJson(std::nullopt)));
  for (const char* bad : {"2026/12/08", "2026/12/08 07:05:03.250'; --", "x"}) {
    QJsonObject o = CallRecordJson(call);
    o["incoming_date"] = bad;
    EXPECT_THROW(CallRecordOf(QJsonValue(o)), ECallMessageError) << bad;
  }
  QJsonObject withNul = CallRecordJson(call);
  withNul["memo1"] = QString("a") + QChar(0);
  EXPECT_THROW(CallRecordOf(QJsonValue(withNul)), ECallMessageError);
  EXPECT_THROW(DecodeShareRequest(R"({"id":"a","desk":"x/+","what":"calls"})"), ECallMessageError);
  // A later protocol's message is left alone; one without a version is the first's.
  EXPECT_THROW(DecodeShareRequest(R"({"v":2,"id":"a","desk":"x","what":"calls"})"),
               ECallMessageError);
  EXPECT_EQ(DecodeShareRequest(R"({"id":"a","desk":"x","what":"calls"})").Desk, "x");
  // The web page's request: items deflated (zlib, base64), larger pages by count.
  const TShareRequest asked =
      DecodeShareRequest(R"({"id":"a","desk":"x","what":"calls","deflate":true,"page":5000})");
  EXPECT_EQ(asked.Page, MaxSharePage);
  const QJsonArray items{CallRecordJson(call)};
  const QByteArray deflated = QByteArray::fromBase64(ShareJsonObject(EncodeShareResponse(
      {"a", "st1", "calls", items, false, "x", "", asked.Deflate}))["items_deflate"]
                                                         .toString()
                                                         .toLatin1());
  // qUncompress wants the length first, as qCompress writes it: any will do as a hint.
  EXPECT_EQ(qUncompress(QByteArray::fromHex("00000001") + deflated),
            QJsonDocument(items).toJson(QJsonDocument::Compact));
}

TEST(DeliveryTest, BookChangesTravelWholeAndSkipWhatNamesNoEntry) {
  const TBookVersion version{12,
                             "desk2-ab",
                             3,
                             {"save",
                              {{"0312345678", "山田商店", "取引先", "", "午後",
                                "2026/12/08 07:05:03.250", "2026/12/09 07:05:03.250"}},
                              {},
                              "desk2",
                              "2026/12/09 07:05:03.000"}};
  const TBookVersion back = DecodeBookVersion(EncodeBookVersion(version));
  EXPECT_EQ(back.Change, version.Change);
  EXPECT_EQ(std::tie(back.Version, back.Desk, back.Seq),
            std::tie(version.Version, version.Desk, version.Seq));
  EXPECT_THROW(BookChangeOf(QJsonDocument::fromJson(R"({"kind":"rename"})").object()),
               ECallMessageError);
  // An entry or number the phone book could not hold: left out, told, the rest kept.
  for (const char* bad :
       {R"({"kind":"delete","numbers":["","01"]})", R"({"kind":"delete","numbers":["03\n1","01"]})",
        R"({"kind":"save","entries":[{"number":"0312","owner_name":5},{"number":"01"}]})",
        R"({"kind":"delete","numbers":["012345678901234567890","01"]})"}) {
    const TBookChange change = BookChangeOf(QJsonDocument::fromJson(bad).object());
    EXPECT_EQ(change.Skipped.size(), 1u) << bad;
    EXPECT_EQ(change.Entries.size() + change.Numbers.size(), 1u) << bad;
  }
  EXPECT_THROW(VersionOf(QJsonObject{{"version", -1}}), ECallMessageError);
}
