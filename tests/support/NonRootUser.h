#pragma once

#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

// Runs `check` where file modes apply: here unless root; as root, in a child
// that becomes "nobody", given `folder` first. True when `check` held.
inline bool AsNonRootUser(const std::string& folder, const std::function<bool()>& check) {
  if (::geteuid() != 0)
    return check();
  if (::chown(folder.c_str(), 65534, 65534) != 0)
    return false;
  const pid_t child = ::fork();
  if (child == 0)
    ::_exit(::setgid(65534) == 0 && ::setuid(65534) == 0 && check() ? 0 : 1);
  int status = 0;
  return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
