#pragma once

#include <string>

// This PC's host name.
std::string StationName();
// This PC's name in shared messages and topics: the name set in the
// settings, or the host name; a topic's "/", "+", "#" and controls become "_".
std::string ShareStationName(const std::string& configured);
// The user's login name ("" when unknown).
std::string LoginName();
// The loopback names and addresses, and this machine's own name.
bool IsLocalHost(const std::string& host);
