#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <thread>

#include "base/Exception.h"
#include "base/PostTarget.h"
#include "base/UniqueFd.h"
#include "platform/MessageWire.h"

struct TEndpointShared;

class EMessageEndpointError : public Exception {
public:
  using Exception::Exception;
};

// This process's receiving end of cross-process "window messages" (the
// counterpart of a window handle): a Unix stream socket
// <RuntimeFolder()>/<handle>.sock served by a listener thread. Peers of
// another user are refused. Each request is posted to `dispatcher`, so the
// handler runs on the dispatcher's thread (the main thread in the program);
// for a send, the listener writes the handler's result back to the sender.
//
// The handler is never called once destruction has begun. Destruction wakes
// and joins the listener and closes every connection: a send still waiting
// for its handler gets no result (its sender sees a failure). Destroying the
// endpoint from inside its own handler is allowed.
class TMessageEndpoint {
public:
  // Returns the result of a send; ignored for a post. An exception from the
  // handler is reported to `onError` and the sender gets no result.
  using THandler = std::function<std::uint32_t(std::uint32_t message, std::uint32_t wParam,
                                               std::uint32_t lParam)>;
  // Told about refused peers, failed handlers and listener failures; called
  // from the listener thread or the dispatcher's thread.
  using TErrorSink = std::function<void(const std::string& text)>;

  // Handle = this process's id. A stale socket of that handle (left by a
  // crashed process) is replaced; a live one raises EMessageEndpointError, as
  // does any failure to create the socket.
  TMessageEndpoint(TPostTargetPtr dispatcher, THandler handler, TErrorSink onError = {});
  // For tests and for several endpoints in one process.
  TMessageEndpoint(TWindowHandle handle, TPostTargetPtr dispatcher, THandler handler,
                   TErrorSink onError = {});
  ~TMessageEndpoint();
  TMessageEndpoint(const TMessageEndpoint&) = delete;
  TMessageEndpoint& operator=(const TMessageEndpoint&) = delete;

  TWindowHandle Handle() const { return handle_; }
  const std::string& Path() const { return path_; }
  // The socket file is gone or no longer ours (its folder was removed):
  // senders cannot reach this endpoint any more.
  bool Lost() const { return !SocketFileIsOurs(); }

private:
  TUniqueFd Listen();
  void Bind(int fd);
  bool SocketFileIsOurs() const;
  void RemoveSocketFile() const;

  TWindowHandle handle_;
  std::string path_;
  std::shared_ptr<TEndpointShared> shared_;
  dev_t device_ = 0;
  ino_t inode_ = 0;
  std::thread listener_;
};
