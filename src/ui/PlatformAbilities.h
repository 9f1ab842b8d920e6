#pragma once

// What the running Qt platform can do, asked before the program relies on
// it: a platform that cannot prints a warning on every attempt. Qt keeps its
// list of capabilities private, so the platforms that have them are named.

// Per-window opacity (the popup's fades, the about window): X11, not Wayland
// or offscreen.
bool PlatformSetsWindowOpacity();
// Qt's own tray (XEmbed) watches for a tray host appearing later only on X11;
// elsewhere a tray is there from the start (a StatusNotifier host) or never.
bool PlatformWatchesForATray();
