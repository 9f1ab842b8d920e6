#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The longest name of a station, or of a desk before its token.
inline constexpr size_t MaxShareNameChars = 64;

// This PC's host name.
std::string StationName();
// This PC's name in shared messages and topics: the name set in the
// settings, or the host name; every byte other than a letter, a digit, "_"
// and "-" becomes "_", and it is cut to MaxShareNameChars.
std::string ShareStationName(const std::string& configured);
// A name from the network: 1 to `most` of A-Z, a-z, 0-9, "_" and "-". Such
// a name is a topic level that every broker and client library takes.
bool IsShareName(std::string_view name, size_t most = MaxShareNameChars);
// 16 random lowercase hex digits: a run's or a database's own id.
std::string RandomShareId();
// The user's login name ("" when unknown).
std::string LoginName();
// The loopback names and addresses, and this machine's own name.
bool IsLocalHost(const std::string& host);
