#include "platform/MessageWire.h"

#include "platform/ProgramPaths.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>

namespace {

void PutLe32(std::uint8_t* out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t GetLe32(const std::uint8_t* in) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i)
    value = (value << 8) | in[i];
  return value;
}

} // namespace

TRequestBytes EncodeRequest(const TMessageRequest& request) {
  TRequestBytes bytes{};
  PutLe32(&bytes[0], request.Message);
  PutLe32(&bytes[4], request.WParam);
  PutLe32(&bytes[8], request.LParam);
  bytes[12] = static_cast<std::uint8_t>(request.Kind);
  return bytes;
}

std::optional<TMessageRequest> DecodeRequest(const TRequestBytes& bytes) {
  const std::uint8_t kind = bytes[12];
  if (kind < static_cast<std::uint8_t>(TRequestKind::Post) ||
      kind > static_cast<std::uint8_t>(TRequestKind::Probe))
    return std::nullopt;
  return TMessageRequest{static_cast<TRequestKind>(kind), GetLe32(&bytes[0]), GetLe32(&bytes[4]),
                         GetLe32(&bytes[8])};
}

TReplyBytes EncodeReply(std::uint32_t result) {
  TReplyBytes bytes{};
  PutLe32(bytes.data(), result);
  return bytes;
}

std::uint32_t DecodeReply(const TReplyBytes& bytes) {
  return GetLe32(bytes.data());
}

std::string EndpointPath(TWindowHandle handle) {
  return RuntimeFolder() + "/" + std::to_string(handle) + ".sock";
}

bool FillSocketAddress(const std::string& path, sockaddr_un& address) {
  address = sockaddr_un{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof(address.sun_path))
    return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

TUniqueFd ConnectToPath(const std::string& path) {
  sockaddr_un address;
  if (!FillSocketAddress(path, address)) {
    errno = ENAMETOOLONG;
    return {};
  }
  TUniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd.Valid())
    return {};
  // A Unix stream connect completes at once or fails (EAGAIN: backlog full).
  if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
    return {};
  return fd;
}
