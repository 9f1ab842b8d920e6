#include "platform/ProcessStart.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Runs after fork in a possibly multi-threaded process: only
// async-signal-safe calls from here on, everything else is prepared before.
[[noreturn]] void RunGrandchild(const char* program, char* const* argv, const char* workDir,
                                int reportFd) {
  ::setsid();
  if (*workDir != '\0' && ::chdir(workDir) != 0) {
    const int err = errno;
    (void)!::write(reportFd, &err, sizeof(err));
    ::_exit(127);
  }
  ::execv(program, argv);
  const int err = errno;
  (void)!::write(reportFd, &err, sizeof(err));
  ::_exit(127);
}

} // namespace

bool StartDetached(const std::string& program, const std::vector<std::string>& args,
                   const std::string& workDir) {
  // The exec result comes back through a close-on-exec pipe: EOF means exec
  // succeeded, an errno value means it failed.
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0)
    return false;
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    return false;
  }
  if (child == 0) {
    ::close(fds[0]);
    // Double fork: the grandchild is adopted by init, so nobody must reap it.
    const pid_t grandchild = ::fork();
    if (grandchild == 0)
      RunGrandchild(program.c_str(), argv.data(), workDir.c_str(), fds[1]);
    if (grandchild < 0) {
      const int err = errno;
      (void)!::write(fds[1], &err, sizeof(err));
    }
    ::_exit(0);
  }
  ::close(fds[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int err = 0;
  ssize_t n;
  while ((n = ::read(fds[0], &err, sizeof(err))) < 0 && errno == EINTR) {
  }
  ::close(fds[0]);
  return n == 0;
}
