#pragma once

#include "share/CallMessage.h"
#include "share/MqttOutbox.h"

#include <string>
#include <vector>

// The topics under the configured base topic. Each sending station has its
// own level, so that a broker's access list can let each account write only
// its own station's topics:
//   <base>/<station>/call                call messages (QoS 1, never retained)
//   <base>/<station>/status              retained; the will sets it offline
//   <base>/<station>/ringing             retained "ON" / "OFF"
//   <base>/<station>/last_caller[/attributes]   retained
//   <base>/<station>/request/<desk>      a desk asks the station (the level
//                                        names the asking desk's station, so
//                                        that an account asks only as itself)
//   <base>/<station>/edit/<desk>         a desk's edit of the office book the
//                                        station holds: a topic of its own, so
//                                        that a read-only account may ask but
//                                        never edit
//   <base>/<station>/response/<desk>     the station's answer to that desk
//   <base>/<station>/book                the changes of the office's phone book
//                                        that this station holds (QoS 1)
//   <base>/desks/<desk>                  retained: a receiving desk is online
std::string CallTopic(const std::string& base, const std::string& station);
std::string StatusTopic(const std::string& base, const std::string& station);
std::string RequestTopic(const std::string& base, const std::string& station,
                         const std::string& desk);
std::string EditTopic(const std::string& base, const std::string& station,
                      const std::string& desk);
std::string ResponseTopic(const std::string& base, const std::string& station,
                          const std::string& desk);
std::string DeskTopic(const std::string& base, const std::string& desk);
std::string BookTopic(const std::string& base, const std::string& station);

// What a topic under the base is, and the station and desk it names; Other
// for a station level or desk level that is no name (IsShareName).
struct TShareTopic {
  enum class TKind { Other, Call, Status, Request, Edit, Response, Desk, Book };
  TKind Kind = TKind::Other;
  std::string Station;
  std::string Desk;
};
TShareTopic ParseShareTopic(const std::string& base, const std::string& topic);
// The longest desk id: its name, "-" and a token of 16 characters.
inline constexpr size_t MaxDeskIdChars = 64 + 1 + 16;

// Retained: whether a receiving desk is online.
TMqttMessage DeskMessage(const std::string& base, const std::string& desk, bool online);
// Whether a status message says online; false for anything else.
bool StatusSaysOnline(const std::string& payload);

// Retained discovery messages that make a home-automation hub show the
// station's "last caller" sensor and "ringing" binary sensor, available while
// the station is online with its adapter connected; with `enabled` false,
// the empty retained messages that remove them again.
std::vector<TMqttMessage> DiscoveryMessages(const std::string& base, const std::string& station,
                                            bool enabled);

// The station's states after a call message: ringing on or off and, for a
// number, the last caller with name and memos as attributes.
std::vector<TMqttMessage> HubStateMessages(const std::string& base, const TCallMessage& message);
// "OFF", for a station that starts with no call ringing.
TMqttMessage NotRingingMessage(const std::string& base, const std::string& station);
// A call message's kind that makes the station ring (the ring, the number).
bool Rings(int kind);
