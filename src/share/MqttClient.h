#pragma once

#include "base/PostTarget.h"
#include "share/MqttOutbox.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// How to reach the broker and what to say there.
struct TMqttOptions {
  std::string Host = "localhost";
  int Port = 1883;
  std::string User;
  std::string Password;
  std::string CaFile; // TLS, with the server verified against it, when set
  std::string ClientId;
  bool CleanSession = true;
  std::optional<TMqttMessage> Will;       // published by the broker when this client vanishes
  std::vector<std::string> Subscriptions; // subscribed with QoS 1 on every connection
  int KeepAliveSeconds = 30;
  size_t QueueLimit = 1000;
  // Messages received and not yet taken by the owner: beyond either bound
  // a message is dropped (reported through OnReceiveDropped). Far above
  // what a broker queues for a desk that was off (README: 1000) and sends
  // at once on its return.
  size_t ReceiveLimit = 10000;
  size_t ReceiveBytesLimit = 64 * 1024 * 1024;
  int FirstRetryMs = 1000; // doubled after each failed attempt, up to MaxRetryMs
  int MaxRetryMs = 30000;
};

enum class TMqttState {
  Connected,   // the broker accepted the connection
  Unreachable, // no connection could be made
  Refused,     // the broker refused it (Code is its reason code)
  Lost,        // an accepted connection ended
};

struct TMqttStatus {
  TMqttState State = TMqttState::Unreachable;
  int Code = 0;
  std::string Detail;
};

// What the client reports, each posted to its owner's thread.
struct TMqttEvents {
  std::function<void(const TMqttStatus&)> OnStatus;
  std::function<void(const TMqttMessage&)> OnMessage;
  // Messages dropped so far because the queue was full.
  std::function<void(size_t dropped)> OnDropped;
  // A message the library refused (a topic or payload it does not take),
  // dropped so that the messages after it go on.
  std::function<void(const TMqttMessage& refused)> OnRefused;
  // Messages received so far and dropped because the owner had not yet
  // taken those before them (ReceiveLimit); at most one report is waiting.
  std::function<void(size_t dropped)> OnReceiveDropped;
};

// A connection to an MQTT broker kept up on a thread of its own: it connects,
// retries with back-off and reconnects without being asked. Destroying it
// reports nothing more, sends what it was given and waits for the broker
// to take it (at most a second), disconnects and joins its thread; a thread
// stuck in a name lookup or a connect for seconds is left to end on its own.
class IMqttClient {
public:
  virtual ~IMqttClient() = default;
  // Any thread; never waits for the network. QoS 1; kept in order while no
  // connection is up and sent once one is.
  virtual void Publish(TMqttMessage message) = 0;
};

using TMqttClientFactory = std::function<std::unique_ptr<IMqttClient>(
    const TMqttOptions& options, TPostTargetPtr owner, TMqttEvents events)>;

// The client on libmosquitto; it starts connecting at once.
std::unique_ptr<IMqttClient> NewMqttClient(const TMqttOptions& options, TPostTargetPtr owner,
                                           TMqttEvents events);
