#pragma once

#include <string>

// This PC's name in shared messages: its host name.
std::string StationName();
// The user's login name ("" when unknown).
std::string LoginName();
// The loopback names and addresses, and this machine's own name.
bool IsLocalHost(const std::string& host);
