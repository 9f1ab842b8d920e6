#include "base/PostTarget.h"

void TQueuedPostTarget::Post(std::function<void()> fn) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(fn));
  }
  posted_.notify_all();
}

size_t TQueuedPostTarget::Pump() {
  size_t count = 0;
  while (true) {
    std::function<void()> fn;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty())
        return count;
      fn = std::move(queue_.front());
      queue_.pop_front();
    }
    fn();
    ++count;
  }
}

size_t TQueuedPostTarget::WaitAndPump(std::chrono::milliseconds timeout) {
  {
    std::unique_lock lock(mutex_);
    posted_.wait_for(lock, timeout, [this] { return !queue_.empty(); });
  }
  return Pump();
}

bool TQueuedPostTarget::PumpUntil(const std::function<bool()>& done,
                                  std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  Pump();
  while (!done()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline)
      return false;
    std::unique_lock lock(mutex_);
    posted_.wait_for(lock,
                     std::min<std::chrono::steady_clock::duration>(deadline - now,
                                                                   std::chrono::milliseconds(10)),
                     [this] { return !queue_.empty(); });
    lock.unlock();
    Pump();
  }
  return true;
}

size_t TQueuedPostTarget::Pending() const {
  std::lock_guard lock(mutex_);
  return queue_.size();
}
