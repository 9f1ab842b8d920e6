// The libmosquitto client against the Debian broker: its thread hands every
// status and message to the owner's queue.
#include "share/MqttClient.h"
#include "fakes/MosquittoBroker.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

TEST(MqttClientTest, MessagesArriveInOrderAndTheConnectionFollowsTheBroker) {
  TTempFolder folder;
  TMosquittoBroker broker(folder.Path());
  ASSERT_TRUE(broker.Start());
  const auto owner = std::make_shared<TQueuedPostTarget>();
  std::vector<TMqttState> states;
  std::vector<std::string> received;
  const auto client = [&](const std::string& id, std::vector<std::string> subscriptions) {
    TMqttOptions options;
    options.Host = "127.0.0.1";
    options.Port = broker.Port();
    options.ClientId = id;
    options.Subscriptions = std::move(subscriptions);
    options.FirstRetryMs = options.MaxRetryMs = 100;
    TMqttEvents events;
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
  for (int i = 0; i < kMessages; ++i)
    writer->Publish({"t/calls", std::to_string(i), false});
  ASSERT_TRUE(pumpUntil([&] { return received.size() == kMessages; }));
  for (int i = 0; i < kMessages; ++i)
    EXPECT_EQ(received[i], std::to_string(i));
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
