#pragma once

#include <string>

// The Qt platform the program asks for. Under Wayland a program may neither
// place its windows nor learn where the panel is, which the incoming popup and
// the number display need; with an X display at hand too (XWayland) the
// program uses that ("xcb"). An explicit QT_QPA_PLATFORM is always kept.
// Empty: leave the choice to Qt.
// A Wayland session is one with WAYLAND_DISPLAY set or XDG_SESSION_TYPE
// "wayland"; null stands for an unset variable.
std::string PreferredQtPlatform(const char* qtQpaPlatform, const char* waylandDisplay,
                                const char* sessionType, const char* xDisplay);
// Sets QT_QPA_PLATFORM from the environment by that rule; before the
// application object exists.
void PreferXcbUnderWayland();
