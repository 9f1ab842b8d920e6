#include "platform/MessageEndpoint.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <utility>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

// A peer gets this long to deliver its whole request; a silent or truncated
// one is dropped so it cannot pin a connection slot.
constexpr auto kRequestTimeout = std::chrono::milliseconds(3000);
// Same-user peers only, but a runaway one must not exhaust descriptors.
constexpr size_t kMaxConnections = 64;

std::string SystemError(const std::string& call, int error) {
  return call + " failed: " + std::strerror(error);
}

std::string MessageName(std::uint32_t message) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%X", message);
  return text;
}

struct TReply {
  std::uint64_t SendId;
  std::optional<std::uint32_t> Result; // empty: the handler failed
};

} // namespace

// What the listener thread and the dispatched closures share; it outlives the
// endpoint while closures are still queued. It does not hold the dispatcher,
// so queued closures form no ownership cycle with it.
struct TEndpointShared {
  TEndpointShared(TMessageEndpoint::THandler aHandler, TMessageEndpoint::TErrorSink aOnError)
      : Handler(std::move(aHandler)), OnError(std::move(aOnError)),
        WakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

  void Report(const std::string& text) noexcept {
    if (!OnError)
      return;
    try {
      OnError(text);
    } catch (...) {
      // The error path itself failed; nothing better to tell.
    }
  }

  void Wake() noexcept {
    const std::uint64_t one = 1;
    (void)!::write(WakeFd.Get(), &one, sizeof(one));
  }

  // Runs on the dispatcher's thread. Holding the gate while the handler runs
  // lets destruction on another thread wait for it; it is recursive so the
  // handler may destroy the endpoint itself.
  void Deliver(const TMessageRequest& request, std::uint64_t sendId) noexcept {
    std::optional<std::uint32_t> result;
    {
      std::lock_guard lock(Gate);
      if (Closed)
        return;
      try {
        result = Handler(request.Message, request.WParam, request.LParam);
      } catch (const std::exception& e) {
        Report("handler of message " + MessageName(request.Message) + " failed: " + e.what());
      } catch (...) {
        Report("handler of message " + MessageName(request.Message) + " failed");
      }
    }
    if (sendId == 0)
      return;
    try {
      std::lock_guard lock(RepliesMutex);
      Replies.push_back({sendId, result});
    } catch (...) {
      return; // the sender times out
    }
    Wake();
  }

  std::vector<TReply> TakeReplies() {
    std::lock_guard lock(RepliesMutex);
    return std::exchange(Replies, {});
  }

  const TMessageEndpoint::THandler Handler;
  const TMessageEndpoint::TErrorSink OnError;
  const TUniqueFd WakeFd;
  std::recursive_mutex Gate;
  bool Closed = false; // guarded by Gate
  std::atomic<bool> Stopping{false};
  std::mutex RepliesMutex;
  std::vector<TReply> Replies;
};

namespace {

bool SameUser(int fd, uid_t& peerUid) {
  ucred credentials{};
  socklen_t size = sizeof(credentials);
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
    return false;
  peerUid = credentials.uid;
  return credentials.uid == ::geteuid();
}

// The listener thread's world: the listening socket and every open
// connection, served by one poll loop, so no peer can stall another.
class TListener {
public:
  TListener(std::shared_ptr<TEndpointShared> shared, TPostTargetPtr dispatcher, TUniqueFd listenFd)
      : shared_(std::move(shared)), dispatcher_(std::move(dispatcher)),
        listenFd_(std::move(listenFd)) {}

  void Run() noexcept {
    bool running = true;
    while (running && !shared_->Stopping.load()) {
      try {
        running = Iterate();
      } catch (const std::exception& e) {
        shared_->Report(std::string("message listener: ") + e.what());
      } catch (...) {
        shared_->Report("message listener failed");
      }
    }
  }

private:
  struct TConnection {
    TUniqueFd Fd;
    TClock::time_point Deadline;
    TRequestBytes Bytes{};
    size_t Got = 0;
    std::uint64_t SendId = 0; // non-zero: waiting for the handler's result
  };

  bool Iterate() {
    std::vector<pollfd> fds;
    fds.push_back({shared_->WakeFd.Get(), POLLIN, 0});
    fds.push_back({listenFd_.Get(), POLLIN, 0});
    for (const TConnection& connection : connections_)
      fds.push_back({connection.Fd.Get(), POLLIN, 0});
    if (::poll(fds.data(), fds.size(), NextTimeoutMs()) < 0) {
      if (errno == EINTR)
        return true;
      shared_->Report(SystemError("poll", errno));
      return false;
    }
    if (fds[0].revents != 0)
      SendReplies();
    const size_t count = connections_.size();
    for (size_t i = 0; i < count; ++i) {
      if (fds[i + 2].revents != 0)
        Service(connections_[i]);
    }
    if ((fds[1].revents & POLLIN) != 0)
      AcceptAll();
    DropSilent();
    std::erase_if(connections_, [](const TConnection& c) { return !c.Fd.Valid(); });
    return true;
  }

  int NextTimeoutMs() const {
    std::optional<TClock::time_point> first;
    for (const TConnection& connection : connections_) {
      if (connection.SendId == 0 && (!first || connection.Deadline < *first))
        first = connection.Deadline;
    }
    if (!first)
      return -1;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(*first - TClock::now()).count();
    return static_cast<int>(std::clamp<std::int64_t>(left + 1, 0, 60000));
  }

  void AcceptAll() {
    while (true) {
      TUniqueFd fd(::accept4(listenFd_.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
      if (!fd.Valid()) {
        if (errno == EINTR || errno == ECONNABORTED)
          continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
          shared_->Report(SystemError("accept", errno));
        return;
      }
      uid_t peerUid = 0;
      if (!SameUser(fd.Get(), peerUid)) {
        shared_->Report("refused a connection from user " + std::to_string(peerUid));
        continue;
      }
      if (connections_.size() >= kMaxConnections) {
        shared_->Report("too many open connections; one refused");
        continue;
      }
      connections_.push_back({std::move(fd), TClock::now() + kRequestTimeout});
    }
  }

  void Service(TConnection& connection) {
    if (!connection.Fd.Valid())
      return;
    if (connection.SendId != 0) {
      // Only a hang-up is expected while the handler runs; junk ends it too.
      char byte;
      if (::recv(connection.Fd.Get(), &byte, 1, 0) >= 0 || (errno != EAGAIN && errno != EINTR))
        connection.Fd.Reset();
      return;
    }
    const ssize_t n = ::recv(connection.Fd.Get(), connection.Bytes.data() + connection.Got,
                             connection.Bytes.size() - connection.Got, 0);
    if (n > 0) {
      connection.Got += static_cast<size_t>(n);
      if (connection.Got == connection.Bytes.size())
        Complete(connection);
    } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
      connection.Fd.Reset(); // gone before the request was whole
    }
  }

  void Complete(TConnection& connection) {
    const std::optional<TMessageRequest> request = DecodeRequest(connection.Bytes);
    if (!request) {
      shared_->Report("dropped a request of unknown kind");
      connection.Fd.Reset();
      return;
    }
    switch (request->Kind) {
    case TRequestKind::Probe:
      Reply(connection, 0);
      break;
    case TRequestKind::Post:
      Dispatch(*request, 0);
      connection.Fd.Reset();
      break;
    case TRequestKind::Send:
      connection.SendId = nextSendId_++;
      Dispatch(*request, connection.SendId);
      break;
    }
  }

  void Dispatch(const TMessageRequest& request, std::uint64_t sendId) {
    std::shared_ptr<TEndpointShared> shared = shared_;
    dispatcher_->Post([shared, request, sendId] { shared->Deliver(request, sendId); });
  }

  static void Reply(TConnection& connection, std::uint32_t result) {
    const TReplyBytes bytes = EncodeReply(result);
    // Four bytes always fit a fresh socket's buffer; a peer that left is fine.
    (void)!::send(connection.Fd.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    connection.Fd.Reset();
  }

  void SendReplies() {
    std::uint64_t count;
    (void)!::read(shared_->WakeFd.Get(), &count, sizeof(count));
    for (const TReply& reply : shared_->TakeReplies()) {
      auto it = std::find_if(connections_.begin(), connections_.end(), [&](const TConnection& c) {
        return c.SendId == reply.SendId && c.Fd.Valid();
      });
      if (it == connections_.end())
        continue; // the sender gave up
      if (reply.Result)
        Reply(*it, *reply.Result);
      else
        it->Fd.Reset();
    }
  }

  void DropSilent() {
    const auto now = TClock::now();
    for (TConnection& connection : connections_) {
      if (connection.Fd.Valid() && connection.SendId == 0 && connection.Deadline <= now) {
        shared_->Report("dropped a connection that sent no whole request in time");
        connection.Fd.Reset();
      }
    }
  }

  const std::shared_ptr<TEndpointShared> shared_;
  const TPostTargetPtr dispatcher_;
  const TUniqueFd listenFd_;
  std::vector<TConnection> connections_;
  std::uint64_t nextSendId_ = 1;
};

} // namespace

TMessageEndpoint::TMessageEndpoint(TPostTargetPtr dispatcher, THandler handler, TErrorSink onError)
    : TMessageEndpoint(static_cast<TWindowHandle>(::getpid()), std::move(dispatcher),
                       std::move(handler), std::move(onError)) {}

TMessageEndpoint::TMessageEndpoint(TWindowHandle handle, TPostTargetPtr dispatcher,
                                   THandler handler, TErrorSink onError)
    : handle_(handle), path_(EndpointPath(handle)) {
  if (!dispatcher || !handler)
    throw EMessageEndpointError("message endpoint needs a dispatcher and a handler");
  shared_ = std::make_shared<TEndpointShared>(std::move(handler), std::move(onError));
  if (!shared_->WakeFd.Valid())
    throw EMessageEndpointError(SystemError("eventfd", errno));
  TUniqueFd listenFd = Listen();
  try {
    auto listener =
        std::make_shared<TListener>(shared_, std::move(dispatcher), std::move(listenFd));
    listener_ = std::thread([listener] { listener->Run(); });
  } catch (...) {
    RemoveSocketFile();
    throw;
  }
}

TMessageEndpoint::~TMessageEndpoint() {
  {
    std::lock_guard lock(shared_->Gate);
    shared_->Closed = true;
  }
  shared_->Stopping = true;
  shared_->Wake();
  // Destroyed from a handler that a same-thread dispatcher ran on the
  // listener itself: it stops on its own once the handler returns.
  if (listener_.get_id() == std::this_thread::get_id())
    listener_.detach();
  else
    listener_.join();
  RemoveSocketFile();
}

TUniqueFd TMessageEndpoint::Listen() {
  TUniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd.Valid())
    throw EMessageEndpointError(SystemError("socket", errno));
  Bind(fd.Get());
  struct stat info {};
  if (::listen(fd.Get(), SOMAXCONN) != 0 || ::stat(path_.c_str(), &info) != 0) {
    const int error = errno;
    ::unlink(path_.c_str());
    throw EMessageEndpointError(SystemError("listen on " + path_, error));
  }
  device_ = info.st_dev;
  inode_ = info.st_ino;
  return fd;
}

void TMessageEndpoint::Bind(int fd) {
  sockaddr_un address;
  if (!FillSocketAddress(path_, address))
    throw EMessageEndpointError("socket path too long: " + path_);
  const auto* raw = reinterpret_cast<const sockaddr*>(&address);
  if (::bind(fd, raw, sizeof(address)) == 0)
    return;
  if (errno != EADDRINUSE)
    throw EMessageEndpointError(SystemError("bind to " + path_, errno));
  // The name is taken: a live endpoint keeps it, a crashed one's file goes.
  const TUniqueFd probe = ConnectToPath(path_);
  if (probe.Valid() || errno == EAGAIN)
    throw EMessageEndpointError("another endpoint already answers at " + path_);
  ::unlink(path_.c_str());
  if (::bind(fd, raw, sizeof(address)) != 0)
    throw EMessageEndpointError(SystemError("bind to " + path_, errno));
}

bool TMessageEndpoint::SocketFileIsOurs() const {
  struct stat info {};
  return ::stat(path_.c_str(), &info) == 0 && info.st_dev == device_ && info.st_ino == inode_;
}

// Only our own socket file: a successor may already have replaced it.
void TMessageEndpoint::RemoveSocketFile() const {
  if (SocketFileIsOurs())
    ::unlink(path_.c_str());
}
