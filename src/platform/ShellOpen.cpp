#include "platform/ShellOpen.h"

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "base/Text.h"
#include "platform/ProcessStart.h"

namespace {

bool IsExecutableFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}

bool Exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

// Like a shell's command lookup for a bare name, but only ever one file.
std::string FindInPath(const std::string& name) {
  const char* searchPath = std::getenv("PATH");
  if (name.find('/') != std::string::npos || searchPath == nullptr)
    return {};
  for (const std::string& folder : SplitString(searchPath, ':')) {
    const std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
    if (IsExecutableFile(candidate))
      return candidate;
  }
  return {};
}

std::string Absolute(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.string();
}

bool HandToOpener(const std::string& target, const TOpener& opener) {
  if (!opener)
    return false;
  try {
    return opener(target);
  } catch (...) {
    return false; // a failing desktop service is a failed open, not a crash
  }
}

} // namespace

bool ShellOpen(const std::string& command, const TOpener& opener) {
  if (command.empty())
    return false;
  const std::string program = FindInPath(command);
  if (!program.empty())
    return StartDetached(program, {}, "");
  if (IsExecutableFile(command))
    return StartDetached(command, {}, "");
  return HandToOpener(Exists(command) ? Absolute(command) : command, opener);
}
