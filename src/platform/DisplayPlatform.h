#pragma once

#include <string>

// The Qt platforms the program tries, in order, as a list for Qt
// ("xcb;wayland;offscreen"): Qt starts on the first whose plugin is installed
// and whose display answers, where a single missing one would abort it.
// QT_QPA_PLATFORM, when set, comes first. Under Wayland a program may
// neither place its windows nor learn where the panel is, which the incoming
// popup and the number display need, so an X display (XWayland) comes before
// Wayland. The list ends with "offscreen", which always starts: the program
// then records calls without windows rather than not at all.
// A Wayland session is one with WAYLAND_DISPLAY set or XDG_SESSION_TYPE
// "wayland"; null stands for an unset variable.
std::string QtPlatformList(const char* qtQpaPlatform, const char* waylandDisplay,
                           const char* sessionType, const char* xDisplay);
// The list for this process's environment.
std::string QtPlatformListFromEnvironment();
// The platform name of a list entry ("xcb" of "xcb:option", the first of a list).
std::string QtPlatformName(const std::string& entry);
