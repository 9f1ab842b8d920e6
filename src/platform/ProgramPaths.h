#pragma once

#include <string>

// Full path of the running executable (from /proc/self/exe).
std::string ExecutablePath();
// Folder of the running executable, without a trailing "/".
std::string ExecutableFolder();
// Where the program keeps its data, without a trailing "/": $TELORIA2_HOME
// when set; else the executable's folder when teloria2.ini stands there (a
// portable copy); else $XDG_DATA_HOME/teloria2 (~/.local/share/teloria2).
// Creates nothing, for readers that must leave no trace.
std::string ChooseProgramFolder();
// ChooseProgramFolder(); the per-user folder is created on first use, mode
// 0700 (as are missing folders on its way).
std::string ProgramFolder();
// Makes the program folder (with its missing parents, mode 0700) when it is
// not there, as a folder named by $TELORIA2_HOME may not be yet. 0 when it
// is a folder then; otherwise the errno that tells why not.
int PrepareProgramFolder();
// A shipped file: the program folder first, then beside the executable, then
// in ../share/teloria2 from the executable (an installed tree). When it is
// in none of them, the path beside the executable.
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
