#pragma once

#include "share/CallMessage.h"
#include "share/MqttClient.h"
#include "share/RateLimit.h"
#include "share/ShareExchange.h"
#include "share/StationStatus.h"

#include <cstdint>
#include <optional>
#include <string>

// The sending station's side: each call message with an id and date of its
// own, the station's retained status and sensor states, the discovery
// messages of a home-automation hub, and the answers to the desks' requests.
// A station that finds its name used by another PC (another instance) that
// was there first sends nothing from then on; the PC that was there first
// keeps its status.
class TCallSender {
public:
  // `identity`: the station's name, this database's instance and this run's id.
  TCallSender(IMqttClient& client, std::string baseTopic, const TStationStatus& identity,
              bool homeAssistant);

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
  // The ids the status carries.
  TStationStatus Identity() const;

  enum class TNameUse {
    Own,     // this PC's status, or nothing of another PC's
    Another, // another PC came under this name: this one goes on
    Refused, // another PC was here first: this one sends nothing more
  };
  // What a message tells of this station's name: Own for any message but
  // one on this station's status topic.
  TNameUse TakeOwnStatus(const TMqttMessage& message);
  bool Refused() const { return refused_; }

  // A desk's request to this station; nothing for any other message (one
  // that cannot be read, or one over the desk's limit, is logged).
  std::optional<TShareRequest> RequestOf(const TMqttMessage& message);
  void Answer(const TShareRequest& request, QJsonArray items, bool more);

private:
  void PublishStatus(bool online);
  void Publish(TMqttMessage message);

  IMqttClient& client_;
  const std::string base_;
  const std::string station_;
  const bool homeAssistant_;
  const std::string instance_;
  // Ids are the station, this run and a count: unique without any stored state.
  const std::string runId_;
  // This connection has seen this run's own status come back.
  bool ownSeen_ = false;
  // Another PC's online status came before this run's own.
  bool cameSecond_ = false;
  bool refused_ = false;
  uint64_t sequence_ = 0;
  bool adapterConnected_ = false;
  bool ringing_ = false;
  TRateLimit requestLimit_{DeskRequestBurst, DeskRequestsPerSecond};
};
