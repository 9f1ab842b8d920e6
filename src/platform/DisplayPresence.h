#pragma once

// Whether there is any display to run on: an X display (DISPLAY), a Wayland
// one (WAYLAND_DISPLAY), or a Qt platform chosen by hand (QT_QPA_PLATFORM,
// "offscreen" included). None of them: the program runs as a service on a
// PC without a desktop.
bool AnyDisplay();
