#pragma once

#include "share/CallMessage.h"
#include "share/MqttOutbox.h"

#include <string>
#include <vector>

// The topics under the configured base topic, and what is published there
// besides the call messages.
std::string CallTopic(const std::string& base);
std::string StatusTopic(const std::string& base);

// Retained: whether the sending station is online and its adapter connected.
TMqttMessage StatusMessage(const std::string& base, const std::string& station, bool online,
                           bool adapterConnected);

// Retained discovery messages that make a home-automation hub show a "last
// caller" sensor and a "ringing" binary sensor; with `enabled` false, the
// empty retained messages that remove them again.
std::vector<TMqttMessage> DiscoveryMessages(const std::string& base, const std::string& station,
                                            bool enabled);

// The states of those sensors after a call message: ringing on or off and,
// for a number, the last caller with name and memos as attributes.
std::vector<TMqttMessage> HubStateMessages(const std::string& base, const TCallMessage& message);
