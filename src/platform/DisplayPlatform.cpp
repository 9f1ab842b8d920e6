#include "platform/DisplayPlatform.h"

#include <cstdlib>
#include <cstring>
#include <set>
#include <sstream>
#include <vector>

namespace {

bool Set(const char* value) {
  return value != nullptr && *value != '\0';
}

} // namespace

std::string QtPlatformName(const std::string& entry) {
  return entry.substr(0, entry.find_first_of(":;"));
}

std::string QtPlatformList(const char* qtQpaPlatform, const char* waylandDisplay,
                           const char* sessionType, const char* xDisplay) {
  std::vector<std::string> wanted;
  std::istringstream chosen(Set(qtQpaPlatform) ? qtQpaPlatform : "");
  for (std::string entry; std::getline(chosen, entry, ';');)
    if (!entry.empty())
      wanted.push_back(entry);
  if (Set(xDisplay))
    wanted.push_back("xcb");
  if (Set(waylandDisplay) || (sessionType != nullptr && std::strcmp(sessionType, "wayland") == 0))
    wanted.push_back("wayland");
  wanted.push_back("offscreen");

  std::string list;
  std::set<std::string> names;
  for (const std::string& entry : wanted) {
    const std::string name = QtPlatformName(entry);
    if (!names.insert(name).second)
      continue;
    list += (list.empty() ? "" : ";") + entry;
    if (name == "offscreen")
      break; // never fails: nothing after it is tried
  }
  return list;
}

std::string QtPlatformListFromEnvironment() {
  return QtPlatformList(std::getenv("QT_QPA_PLATFORM"), std::getenv("WAYLAND_DISPLAY"),
                        std::getenv("XDG_SESSION_TYPE"), std::getenv("DISPLAY"));
}
