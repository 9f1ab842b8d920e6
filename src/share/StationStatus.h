#pragma once

#include "share/MqttOutbox.h"

#include <string>

// A sending station's retained status: online or not, its adapter connected
// and a call ringing, and who sends it: Instance is random per database (two
// PCs under one station name differ in it), Run random per program run (a
// station's group numbers start again in every run).
struct TStationStatus {
  std::string Station; // "" when the status leaves it to its topic
  bool Online = false;
  bool Adapter = false;
  bool Ringing = false;
  std::string Instance; // "" from a station that does not say
  std::string Run;

  bool operator==(const TStationStatus&) const = default;
};

// Retained, on the station's status topic; offline it has no adapter and no ring.
TMqttMessage StatusMessage(const std::string& base, const TStationStatus& status);
// Throws ECallMessageError for anything that is not a station's status.
TStationStatus DecodeStationStatus(const std::string& payload);
// Whether `id` has the form of an instance or run: 16 lowercase hex digits.
bool IsShareId(const std::string& id);
