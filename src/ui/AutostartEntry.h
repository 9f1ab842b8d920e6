#pragma once

#include <string>

// The log-on start of the launcher: an XDG autostart entry that runs
// teloria2-launcher from the program's executable folder. The launcher still
// reads AutoRun itself, so the entry only has to exist while it is wanted.

// $XDG_CONFIG_HOME (when absolute) or ~/.config, + "/autostart/teloria2.desktop".
std::string AutostartEntryPath();
// The entry's text for a launcher at `launcherPath`.
std::string AutostartEntryText(const std::string& launcherPath);
// Writes the entry when `autoRun`, removes it otherwise. Throws Exception
// "<path> に書き込めません" when the file cannot be written or removed.
void UpdateAutostartEntry(bool autoRun);
