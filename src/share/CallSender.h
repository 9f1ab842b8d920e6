#pragma once

#include "share/CallMessage.h"
#include "share/MqttClient.h"

#include <cstdint>
#include <string>

// The sending station's side: each call message with an id of its own, the
// station's retained status and, for a home-automation hub, the discovery
// messages and sensor states.
class TCallSender {
public:
  TCallSender(IMqttClient& client, std::string baseTopic, std::string station, bool homeAssistant);

  // Gives the message its id and the station's name, then publishes it.
  void Send(TCallMessage message);
  // After every new connection: online, and the hub's discovery messages.
  void Announce(bool adapterConnected);
  void Status(bool adapterConnected);
  // Before a deliberate disconnect, which the broker does not answer with the will.
  void Offline();

private:
  IMqttClient& client_;
  const std::string base_;
  const std::string station_;
  const bool homeAssistant_;
  // Ids are the station, this run and a count: unique without any stored state.
  const std::string runId_;
  uint64_t sequence_ = 0;
};
