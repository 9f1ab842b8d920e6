#pragma once

#include <string>

// The user's own folders, as the XDG base-directory rules name them.

// $HOME, else the home folder of the user's account entry.
std::string HomeFolder();
// The folder in `variable` (XDG_DATA_HOME, XDG_CONFIG_HOME, ...) when it is
// set to an absolute path; a relative one is invalid and ignored, as the rules
// say. Otherwise HomeFolder() + "/" + `fallbackInHome` (".local/share").
std::string XdgBaseFolder(const char* variable, const char* fallbackInHome);
