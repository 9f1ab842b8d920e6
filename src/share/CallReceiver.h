#pragma once

#include "share/CallMessage.h"
#include "share/MqttOutbox.h"
#include "share/ShareExchange.h"
#include "share/StationSequence.h"
#include "share/StationStatus.h"

#include <set>
#include <string>

// What arrived for a receiving desk, checked and decoded.
struct TDeskInput {
  enum class TKind { Nothing, Call, Status, Response };
  TKind Kind = TKind::Nothing;
  std::string Station;
  TCallMessage Call;
  bool Gap = false; // a call message, with something before it missing
  TStationStatus Status;
  TShareResponse Response;
};

// The receiving desk's side of the topics: what the stations publish, each
// call message once, and the answers to this desk's requests. Refused and
// logged: a call message kept by the broker (retained: an old message
// delivered again at each start), a station missing from `stations` (a
// comma-separated list; empty allows every station), a message whose station
// differs from its topic's, and anything that cannot be read.
class TCallReceiver {
public:
  TCallReceiver(std::string baseTopic, std::string desk, const std::string& stations);

  TDeskInput Take(const TMqttMessage& message);

private:
  TDeskInput TakeCall(const TMqttMessage& message, const std::string& station);
  TDeskInput TakeResponse(const TMqttMessage& message, const std::string& station);
  TDeskInput TakeStatus(const TMqttMessage& message, const std::string& station);
  bool Allowed(const std::string& station, const std::string& topic);
  bool SameStation(const std::string& topic, const std::string& station,
                   const std::string& said) const;

  const std::string base_;
  const std::string desk_;
  std::set<std::string> stations_;
  std::set<std::string> refused_; // warned of once
  TStationSequences sequences_;
};
