#include "platform/DisplayPlatform.h"

#include <cstdlib>
#include <cstring>

namespace {

bool Set(const char* value) {
  return value != nullptr && *value != '\0';
}

} // namespace

std::string PreferredQtPlatform(const char* qtQpaPlatform, const char* waylandDisplay,
                                const char* sessionType, const char* xDisplay) {
  const bool wayland =
      Set(waylandDisplay) || (sessionType != nullptr && std::strcmp(sessionType, "wayland") == 0);
  if (Set(qtQpaPlatform) || !wayland || !Set(xDisplay))
    return {};
  return "xcb";
}

void PreferXcbUnderWayland() {
  const std::string platform =
      PreferredQtPlatform(std::getenv("QT_QPA_PLATFORM"), std::getenv("WAYLAND_DISPLAY"),
                          std::getenv("XDG_SESSION_TYPE"), std::getenv("DISPLAY"));
  if (!platform.empty())
    ::setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
}
