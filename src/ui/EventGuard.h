#pragma once

#include <exception>
#include <functional>

// Runs one event entry of a window (a click, a timer tick, a notice) so that
// nothing it throws reaches the event loop: a failure is logged once, at the
// error level with `what`, and then handed to `onFailure` (which tells the
// user and tidies up) when there is one. True when `handler` ran through.
bool GuardEvent(const char* what, const std::function<void()>& handler,
                const std::function<void(const std::exception&)>& onFailure = {});
