#include "EndWatch.h"

#include "base/UniqueFd.h"

#include <cerrno>
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

sigset_t EndSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGHUP);
  return set;
}

// False once standard input has closed or failed.
bool DrainInput() {
  char buffer[256];
  ssize_t got;
  do {
    got = ::read(STDIN_FILENO, buffer, sizeof buffer);
  } while (got < 0 && errno == EINTR);
  return got > 0;
}

void WaitForEnd() {
  const sigset_t set = EndSignals();
  const TUniqueFd signals(::signalfd(-1, &set, SFD_CLOEXEC));
  pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {signals.Get(), POLLIN, 0}};
  while (true) {
    if (::poll(fds, signals.Valid() ? 2 : 1, -1) < 0) {
      if (errno == EINTR)
        continue;
      return;
    }
    if (fds[1].revents != 0)
      return;
    if (fds[0].revents != 0 && !DrainInput())
      return;
  }
}

} // namespace

void TEndWatch::BlockSignals() {
  const sigset_t set = EndSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

TEndWatch::TEndWatch(TPostTargetPtr dispatcher, std::function<void()> onEnd)
    : thread_([dispatcher = std::move(dispatcher), onEnd = std::move(onEnd)] {
        WaitForEnd();
        dispatcher->Post(onEnd);
      }) {}
