#pragma once

#include "share/CallMessage.h"
#include "share/MqttClient.h"
#include "share/RateLimit.h"
#include "share/ShareExchange.h"

#include <cstdint>
#include <optional>
#include <string>

// The sending station's side: each call message with an id and date of its
// own, the station's retained status and sensor states, the discovery
// messages of a home-automation hub, and the answers to the desks' requests.
class TCallSender {
public:
  TCallSender(IMqttClient& client, std::string baseTopic, std::string station, bool homeAssistant);

  // Gives the message its id, date and the station's name, then publishes it.
  void Send(TCallMessage message);
  // After every new connection: online with no call ringing, and the hub's
  // discovery messages (or their removal, with the hub not wanted).
  void Announce(bool adapterConnected);
  void Status(bool adapterConnected);
  // Before a deliberate disconnect, which the broker does not answer with the will.
  void Offline();
  // Sharing turned off: the hub forgets the station's sensors.
  void RemoveDiscovery();

  // A desk's request to this station; nothing for any other message (one
  // that cannot be read, or one over the desk's limit, is logged).
  std::optional<TShareRequest> RequestOf(const TMqttMessage& message);
  void Answer(const TShareRequest& request, QJsonArray items, bool more);

private:
  void PublishStatus(bool online);

  IMqttClient& client_;
  const std::string base_;
  const std::string station_;
  const bool homeAssistant_;
  // Ids are the station, this run and a count: unique without any stored state.
  const std::string runId_;
  uint64_t sequence_ = 0;
  bool adapterConnected_ = false;
  bool ringing_ = false;
  TRateLimit requestLimit_{DeskRequestBurst, DeskRequestsPerSecond};
};
