#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "base/UniqueFd.h"

struct sockaddr_un;

// The cross-process "window message" protocol shared by TMessageEndpoint and
// the client calls in WindowMessages.h. One request per connection to
// <RuntimeFolder()>/<handle>.sock:
//   bytes 0-3 message, 4-7 wParam, 8-11 lParam (32-bit little-endian),
//   byte 12 kind (1 post, 2 send, 3 probe).
// A send is answered with its 32-bit little-endian result, a probe with 0
// straight from the listener (it proves the endpoint is alive without
// bothering the owner); a post gets nothing.

// A window handle: the endpoint's number, by default its process id.
using TWindowHandle = std::uint32_t;

enum class TRequestKind : std::uint8_t { Post = 1, Send = 2, Probe = 3 };

struct TMessageRequest {
  TRequestKind Kind = TRequestKind::Post;
  std::uint32_t Message = 0;
  std::uint32_t WParam = 0;
  std::uint32_t LParam = 0;
};

constexpr std::size_t kRequestSize = 13;
constexpr std::size_t kReplySize = 4;

using TRequestBytes = std::array<std::uint8_t, kRequestSize>;
using TReplyBytes = std::array<std::uint8_t, kReplySize>;

TRequestBytes EncodeRequest(const TMessageRequest& request);
// Empty for an unknown kind.
std::optional<TMessageRequest> DecodeRequest(const TRequestBytes& bytes);
TReplyBytes EncodeReply(std::uint32_t result);
std::uint32_t DecodeReply(const TReplyBytes& bytes);

// Socket path of the endpoint with this handle.
std::string EndpointPath(TWindowHandle handle);

// False when the path does not fit a socket address.
bool FillSocketAddress(const std::string& path, sockaddr_un& address);
// A non-blocking, close-on-exec connection to the socket at `path`; invalid
// (with errno set) when nobody listens there.
TUniqueFd ConnectToPath(const std::string& path);
