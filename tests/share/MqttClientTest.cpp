// The libmosquitto client against the Debian broker: its thread hands every
// status and message to the owner's queue.
#include "share/MqttClient.h"
#include "fakes/MosquittoBroker.h"
#include "support/TempFolder.h"

#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <set>

class MqttClientTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(broker.Start()); }

  std::unique_ptr<IMqttClient> Client(const std::string& id, std::vector<std::string> subscriptions,
                                      size_t receiveLimit = 1000) {
    TMqttOptions options;
    options.Host = "127.0.0.1";
    options.Port = broker.Port();
    options.ClientId = id;
    options.Subscriptions = std::move(subscriptions);
    options.FirstRetryMs = options.MaxRetryMs = 100;
    options.ReceiveLimit = receiveLimit;
    TMqttEvents events;
    events.OnRefused = [&](const TMqttMessage& message) { refused.push_back(message.Topic); };
    if (!options.Subscriptions.empty()) {
      events.OnStatus = [&](const TMqttStatus& status) { states.push_back(status.State); };
      events.OnMessage = [&](const TMqttMessage& message) { received.push_back(message.Payload); };
      events.OnReceiveDropped = [&](size_t count) { dropped = count; };
    }
    return NewMqttClient(options, owner, events);
  }
  bool PumpUntil(const std::function<bool()>& done) {
    return owner->PumpUntil(done, std::chrono::seconds(20));
  }

  TTempFolder folder;
  TMosquittoBroker broker{folder.Path()};
  const std::shared_ptr<TQueuedPostTarget> owner = std::make_shared<TQueuedPostTarget>();
  std::vector<TMqttState> states;
  std::vector<std::string> received;
  std::vector<std::string> refused;
  size_t dropped = 0;
};

TEST_F(MqttClientTest, MessagesArriveInOrderAndTheConnectionFollowsTheBroker) {
  auto reader = Client("reader", {"t/#"});
  ASSERT_TRUE(PumpUntil([&] { return states == std::vector{TMqttState::Connected}; }));
  auto writer = Client("writer", {});
  constexpr int kMessages = 50;
  for (int i = 0; i < kMessages; ++i) {
    // One the library refuses goes, with those after it sent all the same.
    if (i == 10)
      writer->Publish({"t/+/bad", "x", false});
    writer->Publish({"t/calls", std::to_string(i), false});
  }
  ASSERT_TRUE(PumpUntil([&] { return received.size() == kMessages; }));
  for (int i = 0; i < kMessages; ++i)
    EXPECT_EQ(received[i], std::to_string(i));
  EXPECT_EQ(refused, std::vector<std::string>{"t/+/bad"});
  broker.Stop();
  ASSERT_TRUE(PumpUntil([&] { return states.size() >= 2; }));
  EXPECT_EQ(states[1], TMqttState::Lost);
  ASSERT_TRUE(broker.Start());
  ASSERT_TRUE(PumpUntil([&] { return states.back() == TMqttState::Connected; }));
  writer.reset();
  reader.reset();
  owner->Pump(); // nothing comes after the end
  EXPECT_EQ(owner->Pending(), 0u);
}

// A station ends with its "offline" while messages pour in: the broker has
// taken it before the connection closes.
TEST_F(MqttClientTest, TheLastMessageBeforeAStopReachesTheBroker) {
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

// Holds what the client posts until the test runs it, in any order.
class THeldPostTarget final : public TPostTarget {
public:
  void Post(std::function<void()> fn) override {
    std::lock_guard lock(mutex_);
    held_.push_back(std::move(fn));
    posted_.notify_all();
  }
  // Waits for the closure at `index` and runs it.
  bool Run(size_t index) {
    std::function<void()> fn;
    {
      std::unique_lock lock(mutex_);
      if (!posted_.wait_for(lock, std::chrono::seconds(20), [&] { return held_.size() > index; }))
        return false;
      fn = std::exchange(held_[index], [] {});
    }
    fn();
    return true;
  }

private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::vector<std::function<void()>> held_;
};

TEST_F(MqttClientTest, MessagesTheOwnerHasNotTakenAreBoundedAndTheRestDropped) {
  const auto held = std::make_shared<THeldPostTarget>();
  TMqttOptions options;
  options.Host = "127.0.0.1";
  options.Port = broker.Port();
  options.Subscriptions = {"t/#"};
  options.ReceiveLimit = 10;
  TMqttEvents events;
  events.OnStatus = [&](const TMqttStatus& status) { states.push_back(status.State); };
  events.OnMessage = [&](const TMqttMessage& message) { received.push_back(message.Payload); };
  events.OnReceiveDropped = [&](size_t count) { dropped = count; };
  auto reader = NewMqttClient(options, held, events);
  ASSERT_TRUE(held->Run(0));
  ASSERT_EQ(states, std::vector{TMqttState::Connected});
  auto writer = Client("writer", {});
  for (int i = 0; i < 31; ++i)
    writer->Publish({"t/calls", std::to_string(i), false});
  // Held: ten messages, then a report of those dropped, which is posted
  // again after it ran for those dropped since.
  size_t next = 11;
  while (dropped < 21)
    ASSERT_TRUE(held->Run(next++));
  for (size_t i = 1; i <= 10; ++i)
    ASSERT_TRUE(held->Run(i));
  EXPECT_EQ(received.back(), "9");
  // Taken, the queue takes more.
  writer->Publish({"t/calls", "after", false});
  ASSERT_TRUE(held->Run(next));
  EXPECT_EQ(received.size(), 11u);
  EXPECT_EQ(received.back(), "after");
  EXPECT_EQ(dropped, 21u);
}
