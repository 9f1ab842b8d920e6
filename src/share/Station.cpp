#include "share/Station.h"

#include "base/Text.h"

#include <algorithm>
#include <arpa/inet.h>
#include <fmt/format.h>
#include <limits.h>
#include <pwd.h>
#include <random>
#include <unistd.h>

std::string StationName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')
    return "localhost";
  return name;
}

std::string ShareStationName(const std::string& configured) {
  std::string name = Trim(configured);
  if (name.empty())
    name = StationName();
  name.resize(std::min(name.size(), MaxShareNameChars));
  for (char& c : name)
    if (!IsShareName(std::string_view(&c, 1)))
      c = '_';
  return name;
}

bool IsShareName(std::string_view name, size_t most) {
  return !name.empty() && name.size() <= most && std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-';
  });
}

std::string RandomShareId() {
  std::random_device random;
  return fmt::format("{:08x}{:08x}", random(), random());
}

std::string LoginName() {
  const passwd* user = getpwuid(getuid());
  return user != nullptr && user->pw_name != nullptr ? user->pw_name : "";
}

bool IsLocalHost(const std::string& host) {
  if (SameText(host, "localhost") || SameText(host, "localhost.localdomain") ||
      SameText(host, "ip6-localhost") || SameText(host, StationName()))
    return true;
  in_addr v4{};
  if (inet_pton(AF_INET, host.c_str(), &v4) == 1)
    return (ntohl(v4.s_addr) >> 24) == 127;
  in6_addr v6{};
  return inet_pton(AF_INET6, host.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}
