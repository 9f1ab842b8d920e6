#pragma once

#include "settings/AppSettings.h"
#include "share/MqttClient.h"
#include "share/StationStatus.h"

#include <string>

// The client options of a sending (Mode 1) or receiving (Mode 2) station.
// The receiver keeps its session at the broker under a fixed client id, so
// calls published while it was away reach it when it comes back (as far as
// the broker's queue goes: the rest it asks the stations for). Each side's
// will tells that it is gone. A sender's client id and will carry its
// identity (`status`: its instance and run), so that a second PC under the
// same station name never throws the first off the broker; it also reads its
// own status topic, to notice such a PC.
TMqttOptions ShareClientOptions(const TShareSettings& settings, const std::string& station,
                                const TStationStatus& identity = {});

// The station that holds the office's phone book: BookStation when set
// (empty: none, each PC keeps its own), else this PC (`station`) when it
// sends calls.
std::string OfficeBookStation(const TShareSettings& settings, const std::string& station);

// A user name and password would cross the network readable by anyone on
// the way: no TLS, and the broker is another machine.
bool CredentialsInClear(const TShareSettings& settings);
