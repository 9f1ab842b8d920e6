// Requests and replies of the message endpoint, as a peer may send any
// bytes: a request decodes only with a known kind and then encodes back to
// the same bytes; a reply always does.
#include "FuzzSupport.h"
#include "platform/MessageWire.h"

#include <algorithm>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (size_t at = 0; at < size; at += kRequestSize) {
    TRequestBytes bytes{};
    std::memcpy(bytes.data(), data + at, std::min(kRequestSize, size - at));
    const std::optional<TMessageRequest> request = DecodeRequest(bytes);
    const bool knownKind = bytes[12] >= static_cast<uint8_t>(TRequestKind::Post) &&
                           bytes[12] <= static_cast<uint8_t>(TRequestKind::Probe);
    Check(request.has_value() == knownKind);
    if (request)
      Check(EncodeRequest(*request) == bytes);
    TReplyBytes reply{};
    std::memcpy(reply.data(), bytes.data(), kReplySize);
    Check(EncodeReply(DecodeReply(reply)) == reply);
  }
  return 0;
}
