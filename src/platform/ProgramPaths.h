#pragma once

#include <string>

// Full path of the running executable (from /proc/self/exe).
std::string ExecutablePath();
// Folder of the running executable, without a trailing "/".
std::string ExecutableFolder();
// Where the program keeps its data: $TELORIA2_HOME if set, else the
// executable's folder; without a trailing "/".
std::string ProgramFolder();
// A shipped file: the program folder first, then beside the executable.
std::string FindShippedFile(const std::string& name);
// Per-user folder for sockets and locks: $XDG_RUNTIME_DIR/teloria2, else
// /tmp/teloria2-<uid>/teloria2, created with mode 0700. A folder on the way
// that is not this user's own with mode 0700 (another local user may have
// made it first) is refused: the folder is then <ProgramFolder()>/runtime,
// and Refused names the refused folder.
struct TRuntimeFolder {
  std::string Folder;
  std::string Refused;
};
TRuntimeFolder ChooseRuntimeFolder();
std::string RuntimeFolder();
