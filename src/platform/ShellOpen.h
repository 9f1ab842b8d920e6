#pragma once

#include <functional>
#include <string>

// Hands a target that is not a program to the desktop (a URL, a document, a
// folder, a missing file); returns whether it was handed over. The program
// injects its desktop service here so this layer stays free of toolkits.
using TOpener = std::function<bool(const std::string& target)>;

// The shell's "open" of a command text. The whole text is one file name:
// quotes, spaces, ";" or "$(...)" are never interpreted and nothing is split
// off as arguments. A name without "/" is looked up in PATH first, then in
// the current folder. An executable regular file is started directly,
// detached, with no arguments; anything else goes to `opener`, as an
// absolute path when it names an existing file or folder, else unchanged.
// Returns whether the start was handed off successfully; false for an empty
// text, a failed start, a missing or failing opener.
bool ShellOpen(const std::string& command, const TOpener& opener);
