#include "platform/StaleEndpoints.h"

#include "platform/MessageWire.h"
#include "platform/ProgramPaths.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// "<digits>.sock": the handle, which is the process id of a program's endpoint.
bool HandleOfSocketName(const std::string& name, long& handle) {
  const std::string suffix = ".sock";
  if (name.size() <= suffix.size() || name.size() > suffix.size() + 10 || !name.ends_with(suffix))
    return false;
  handle = 0;
  for (size_t i = 0; i + suffix.size() < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9')
      return false;
    handle = handle * 10 + (name[i] - '0');
  }
  return true;
}

bool ProcessLives(long pid) {
  return pid > 0 && pid <= INT32_MAX && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

bool OurSocket(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode) && st.st_uid == ::geteuid();
}

bool Answers(const std::string& path) {
  return ConnectToPath(path).Valid() || errno == EAGAIN;
}

} // namespace

void RemoveDeadEndpoints() {
  namespace fs = std::filesystem;
  std::error_code ec;
  for (fs::directory_iterator it(RuntimeFolder(), ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    long handle = 0;
    const std::string path = it->path().string();
    if (HandleOfSocketName(it->path().filename().string(), handle) && OurSocket(path) &&
        !ProcessLives(handle) && !Answers(path))
      ::unlink(path.c_str());
  }
}
