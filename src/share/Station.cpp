#include "share/Station.h"

#include "base/Text.h"

#include <arpa/inet.h>
#include <limits.h>
#include <pwd.h>
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
  for (char& c : name)
    if (c == '/' || c == '+' || c == '#' || static_cast<unsigned char>(c) < 0x20)
      c = '_';
  return name;
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
