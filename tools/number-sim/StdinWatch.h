#pragma once

#include <functional>
#include <thread>

#include "base/PostTarget.h"

// Waits on its own thread for standard input to close (whatever is typed is
// read and dropped), then posts `onClosed` to the dispatcher.
class TStdinWatch {
public:
  TStdinWatch(TPostTargetPtr dispatcher, std::function<void()> onClosed);
  // Joins: only once input has closed, so destroy it after `onClosed` ran.
  ~TStdinWatch() = default;
  TStdinWatch(const TStdinWatch&) = delete;
  TStdinWatch& operator=(const TStdinWatch&) = delete;

private:
  std::jthread thread_;
};
