#include "platform/WindowMessages.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/socket.h>

namespace {

using TClock = std::chrono::steady_clock;

// A live endpoint answers a probe at once, from its listener thread.
constexpr int kProbeTimeoutMs = 1000;

int RemainingMs(TClock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Waits for `events` on fd until the deadline; false on time-out or error.
bool WaitFor(int fd, short events, TClock::time_point deadline) {
  while (true) {
    pollfd entry{fd, events, 0};
    const int n = ::poll(&entry, 1, RemainingMs(deadline));
    if (n > 0)
      return true;
    if (n == 0 || errno != EINTR)
      return false;
  }
}

bool WriteAll(int fd, const std::uint8_t* data, size_t size, TClock::time_point deadline) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::send(fd, data + done, size - done, MSG_NOSIGNAL);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno == EAGAIN) {
      if (!WaitFor(fd, POLLOUT, deadline))
        return false;
    } else if (n < 0 && errno != EINTR) {
      return false;
    }
  }
  return true;
}

bool ReadReply(int fd, TClock::time_point deadline, std::uint32_t& result) {
  TReplyBytes reply{};
  size_t got = 0;
  while (got < reply.size()) {
    const ssize_t n = ::recv(fd, reply.data() + got, reply.size() - got, 0);
    if (n > 0) {
      got += static_cast<size_t>(n);
    } else if (n == 0) {
      return false; // closed without a result
    } else if (errno == EAGAIN) {
      if (!WaitFor(fd, POLLIN, deadline))
        return false;
    } else if (errno != EINTR) {
      return false;
    }
  }
  result = DecodeReply(reply);
  return true;
}

// Delivers one request; when `result` is given, waits for the answer.
bool Exchange(TWindowHandle handle, const TMessageRequest& request, int timeoutMs,
              std::uint32_t* result) {
  if (handle == 0)
    return false;
  const auto deadline = TClock::now() + std::chrono::milliseconds(timeoutMs);
  const TUniqueFd fd = ConnectToPath(EndpointPath(handle));
  if (!fd.Valid())
    return false;
  const TRequestBytes bytes = EncodeRequest(request);
  if (!WriteAll(fd.Get(), bytes.data(), bytes.size(), deadline))
    return false;
  return result == nullptr || ReadReply(fd.Get(), deadline, *result);
}

} // namespace

bool SendMessageTimeout(TWindowHandle handle, std::uint32_t message, std::uint32_t wParam,
                        std::uint32_t lParam, int timeoutMs, std::uint32_t& result) {
  std::uint32_t answer = 0;
  if (!Exchange(handle, {TRequestKind::Send, message, wParam, lParam}, timeoutMs, &answer))
    return false;
  result = answer;
  return true;
}

bool PostMessage(TWindowHandle handle, std::uint32_t message, std::uint32_t wParam,
                 std::uint32_t lParam) {
  return Exchange(handle, {TRequestKind::Post, message, wParam, lParam}, kProbeTimeoutMs, nullptr);
}

bool IsWindow(TWindowHandle handle) {
  std::uint32_t ignored = 0;
  return Exchange(handle, {TRequestKind::Probe, 0, 0, 0}, kProbeTimeoutMs, &ignored);
}
