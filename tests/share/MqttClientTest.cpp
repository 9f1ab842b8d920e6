// The libmosquitto client against the Debian broker: its thread hands every
// status and message to the owner's queue.
#include "share/MqttClient.h"
#include "fakes/MosquittoBroker.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>
#include <set>

TEST(MqttClientTest, MessagesArriveInOrderAndTheConnectionFollowsTheBroker) {
  TTempFolder folder;
  TMosquittoBroker broker(folder.Path());
  ASSERT_TRUE(broker.Start());
  const auto owner = std::make_shared<TQueuedPostTarget>();
  std::vector<TMqttState> states;
  std::vector<std::string> received;
  std::vector<std::string> refused;
  const auto client = [&](const std::string& id, std::vector<std::string> subscriptions) {
    TMqttOptions options;
    options.Host = "127.0.0.1";
    options.Port = broker.Port();
    options.ClientId = id;
    options.Subscriptions = std::move(subscriptions);
    options.FirstRetryMs = options.MaxRetryMs = 100;
    TMqttEvents events;
    events.OnRefused = [&](const TMqttMessage& message) { refused.push_back(message.Topic); };
    if (!options.Subscriptions.empty()) {
      events.OnStatus = [&](const TMqttStatus& status) { states.push_back(status.State); };
      events.OnMessage = [&](const TMqttMessage& message) { received.push_back(message.Payload); };
    }
    return NewMqttClient(options, owner, events);
  };
  const auto pumpUntil = [&](const std::function<bool()>& done) {
    return owner->PumpUntil(done, std::chrono::seconds(20));
  };
  auto reader = client("reader", {"t/#"});
  ASSERT_TRUE(pumpUntil([&] { return states == std::vector{TMqttState::Connected}; }));
  auto writer = client("writer", {});
  constexpr int kMessages = 50;
  for (int i = 0; i < kMessages; ++i) {
    // One the library refuses goes, with those after it sent all the same.
    if (i == 10)
      writer->Publish({"t/+/bad", "x", false});
    writer->Publish({"t/calls", std::to_string(i), false});
  }
  ASSERT_TRUE(pumpUntil([&] { return received.size() == kMessages; }));
  for (int i = 0; i < kMessages; ++i)
    EXPECT_EQ(received[i], std::to_string(i));
  EXPECT_EQ(refused, std::vector<std::string>{"t/+/bad"});
  broker.Stop();
  ASSERT_TRUE(pumpUntil([&] { return states.size() >= 2; }));
  EXPECT_EQ(states[1], TMqttState::Lost);
  ASSERT_TRUE(broker.Start());
  ASSERT_TRUE(pumpUntil([&] { return states.back() == TMqttState::Connected; }));
  writer.reset();
  reader.reset();
  owner->Pump(); // nothing comes after the end
  EXPECT_EQ(owner->Pending(), 0u);
}

// A station ends with its "offline" while messages pour in: the broker has
// taken it before the connection closes.
TEST(MqttClientTest, TheLastMessageBeforeAStopReachesTheBroker) {
  TTempFolder folder;
  TMosquittoBroker broker(folder.Path());
  ASSERT_TRUE(broker.Start());
  const auto owner = std::make_shared<TQueuedPostTarget>();
  TMqttOptions options;
  options.Host = "127.0.0.1";
  options.Port = broker.Port();
  options.FirstRetryMs = options.MaxRetryMs = 100;
  options.ClientId = "flood";
  auto flood = NewMqttClient(options, owner, {});
  bool up = false;
  TMqttEvents events;
  events.OnStatus = [&](const TMqttStatus& s) { up = s.State == TMqttState::Connected; };
  options.Subscriptions = {"f/#"};
  for (int round = 0; round < 10; ++round) {
    up = false;
    options.ClientId = "station" + std::to_string(round);
    auto station = NewMqttClient(options, owner, events);
    ASSERT_TRUE(owner->PumpUntil([&] { return up; }, std::chrono::seconds(20)));
    for (int i = 0; i < 200; ++i)
      flood->Publish({"f/x", std::string(2000, 'x'), false});
    station->Publish({"s/" + std::to_string(round), "offline", true});
    station.reset();
  }
  options.Subscriptions = {"s/#"};
  options.ClientId = "reader";
  std::set<std::string> kept;
  events.OnMessage = [&](const TMqttMessage& m) { kept.insert(m.Topic); };
  auto reader = NewMqttClient(options, owner, events);
  EXPECT_TRUE(owner->PumpUntil([&] { return kept.size() == 10; }, std::chrono::seconds(20)))
      << kept.size();
}
