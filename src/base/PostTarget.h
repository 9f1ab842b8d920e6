#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

// A thread's message queue: closures posted from any thread run later on the
// owning thread, in the order they were posted. The program's target is a Qt
// queued call; tests use TQueuedPostTarget and pump it themselves.
// A posted closure must not throw: each one catches and logs its own errors.
class TPostTarget {
public:
  virtual ~TPostTarget() = default;
  virtual void Post(std::function<void()> fn) = 0;
};

using TPostTargetPtr = std::shared_ptr<TPostTarget>;

class TQueuedPostTarget final : public TPostTarget {
public:
  void Post(std::function<void()> fn) override;

  // Runs what is queued, including what those closures post; returns the count.
  size_t Pump();
  // Waits up to `timeout` for something to be queued, then pumps.
  size_t WaitAndPump(std::chrono::milliseconds timeout);
  // Pumps until `done` holds or `timeout` passes; returns `done()`.
  bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  size_t Pending() const;

private:
  mutable std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::function<void()>> queue_;
};
