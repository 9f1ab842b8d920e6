#pragma once

#include <string>
#include <vector>

// Starts `program` with `args` in `workDir` (empty: the current folder),
// detached: the caller does not wait, no zombie is left, and the child
// outlives the caller. The program is executed directly, never through a
// shell. Returns false when the process could not be started.
bool StartDetached(const std::string& program, const std::vector<std::string>& args,
                   const std::string& workDir);
