// What makes delivery safe: the bounded outbox with its resending, the
// duplicate check and the receiver's filter.
#include "share/CallReceiver.h"
#include "share/MqttOutbox.h"
#include "share/RecentIds.h"
#include "share/ShareTopics.h"

#include <gtest/gtest.h>

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

TEST(DeliveryTest, RecentIdsForgetTheOldestBeyondTheirCapacity) {
  TRecentIds ids(2);
  EXPECT_TRUE(ids.Remember("a"));
  EXPECT_FALSE(ids.Remember("a"));
  EXPECT_TRUE(ids.Remember("b"));
  EXPECT_TRUE(ids.Remember("c"));
  EXPECT_TRUE(ids.Remember("a"));
  EXPECT_FALSE(ids.Remember("c"));
}

TEST(DeliveryTest, ReceiverTakesEachCallOnceFromItsTopicOnly) {
  TCallReceiver receiver("office");
  TCallMessage call;
  call.Id = "desk1-1-1";
  call.Station = "desk1";
  call.Kind = 2;
  call.PhoneNumber = "0312345678";
  const std::string payload = EncodeCallMessage(call);
  EXPECT_FALSE(receiver.Take({"office/status", payload}));
  EXPECT_FALSE(receiver.Take({"office/call/x", payload}));
  EXPECT_FALSE(receiver.Take({"office/call", "{"}));
  const auto taken = receiver.Take({"office/call", payload});
  ASSERT_TRUE(taken);
  EXPECT_EQ(*taken, call);
  EXPECT_FALSE(receiver.Take({"office/call", payload}));
  call.Id = "desk1-1-2";
  EXPECT_TRUE(receiver.Take({"office/call", EncodeCallMessage(call)}));
}
