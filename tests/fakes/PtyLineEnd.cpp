#include "fakes/PtyLineEnd.h"

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

using TClock = std::chrono::steady_clock;

TClock::time_point After(int ms) {
  return TClock::now() + std::chrono::milliseconds(ms);
}

int RemainingMs(TClock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

} // namespace

TLineEnd::TLineEnd(const std::string& path)
    : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
  termios settings{};
  if (fd_.Valid() && tcgetattr(fd_.Get(), &settings) == 0) {
    cfmakeraw(&settings);
    tcsetattr(fd_.Get(), TCSANOW, &settings);
  }
}

void TLineEnd::Write(const std::string& bytes) {
  if (write(fd_.Get(), bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
    fd_.Reset();
}

std::string TLineEnd::Read(size_t count, int timeoutMs) {
  const auto deadline = After(timeoutMs);
  std::string bytes;
  while (bytes.size() < count) {
    pollfd fd{fd_.Get(), POLLIN, 0};
    if (poll(&fd, 1, RemainingMs(deadline)) <= 0 || (fd.revents & POLLHUP) != 0)
      break;
    char chunk[256];
    const ssize_t got = read(fd_.Get(), chunk, std::min(sizeof chunk, count - bytes.size()));
    if (got <= 0)
      break;
    bytes.append(chunk, static_cast<size_t>(got));
  }
  return bytes;
}

bool TLineEnd::WaitHangUp(int timeoutMs) {
  pollfd fd{fd_.Get(), POLLIN, 0};
  return poll(&fd, 1, timeoutMs) > 0 && (fd.revents & POLLHUP) != 0;
}
