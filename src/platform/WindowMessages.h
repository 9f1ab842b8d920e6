#pragma once

#include <cstdint>

#include "platform/MessageWire.h"

// Client side of cross-process "window messages": each call opens one
// connection to the TMessageEndpoint of `handle` (see MessageEndpoint.h).
// There is no wait-forever send: a hung peer must never hang its caller, so
// every send carries a time-out. A send to an endpoint whose handlers run on
// the calling thread cannot be answered while the caller waits; it times out.

// Sends the message and waits up to `timeoutMs` for the handler's result.
// False when there is no such endpoint, the connection is refused or closed
// (another user's process, the endpoint is being destroyed, the handler
// failed) or no result came in time; `result` is then left unchanged.
bool SendMessageTimeout(TWindowHandle handle, std::uint32_t message, std::uint32_t wParam,
                        std::uint32_t lParam, int timeoutMs, std::uint32_t& result);

// Queues the message for the endpoint without waiting for it to be handled.
// True when the request was handed to a listening endpoint. Posts from one
// thread are handled in the order they were posted.
bool PostMessage(TWindowHandle handle, std::uint32_t message, std::uint32_t wParam,
                 std::uint32_t lParam);

// True only when an endpoint with this handle answers; a stale socket left
// by a crashed process, handle 0 or a hung listener counts as "not a window".
bool IsWindow(TWindowHandle handle);
