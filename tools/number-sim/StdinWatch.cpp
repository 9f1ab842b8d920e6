#include "StdinWatch.h"

#include <cerrno>
#include <unistd.h>

namespace {

void ReadUntilClosed() {
  char buffer[256];
  while (true) {
    const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (got == 0 || (got < 0 && errno != EINTR))
      return;
  }
}

} // namespace

TStdinWatch::TStdinWatch(TPostTargetPtr dispatcher, std::function<void()> onClosed)
    : thread_([dispatcher = std::move(dispatcher), onClosed = std::move(onClosed)] {
        ReadUntilClosed();
        dispatcher->Post(onClosed);
      }) {}
