#pragma once

#include <csignal>
#include <functional>
#include <thread>

#include "base/PostTarget.h"

// Waits on its own thread until standard input closes (what is typed is read
// and dropped) or SIGTERM, SIGINT or SIGHUP arrives, then posts `onEnd` to
// the dispatcher, so that serving ends through its normal clean-up.
class TEndWatch {
public:
  // Blocks the three signals in the calling thread: call it before any other
  // thread starts, so that every thread inherits the mask and the signals
  // reach only the watch.
  static void BlockSignals();

  TEndWatch(TPostTargetPtr dispatcher, std::function<void()> onEnd);
  // Joins: destroy it only after `onEnd` ran.
  ~TEndWatch() = default;
  TEndWatch(const TEndWatch&) = delete;
  TEndWatch& operator=(const TEndWatch&) = delete;

private:
  std::jthread thread_;
};
