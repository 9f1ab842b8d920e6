#include "share/MqttOutbox.h"

#include <algorithm>

size_t TMqttOutbox::Add(TMqttMessage message) {
  if (waiting_.size() + unacknowledged_.size() < limit_) {
    waiting_.push_back(std::move(message));
    return 0;
  }
  // Handed-over messages may already be at the broker: the oldest waiting
  // one goes, or, with none waiting, the new one.
  if (!waiting_.empty()) {
    waiting_.pop_front();
    waiting_.push_back(std::move(message));
  }
  return 1;
}

void TMqttOutbox::MarkSent(int mid) {
  if (waiting_.empty())
    return;
  unacknowledged_.emplace_back(mid, std::move(waiting_.front()));
  waiting_.pop_front();
}

TMqttMessage TMqttOutbox::DropNext() {
  TMqttMessage dropped = std::move(waiting_.front());
  waiting_.pop_front();
  return dropped;
}

void TMqttOutbox::Acknowledged(int mid) {
  const auto it = std::find_if(unacknowledged_.begin(), unacknowledged_.end(),
                               [mid](const auto& entry) { return entry.first == mid; });
  if (it != unacknowledged_.end())
    unacknowledged_.erase(it);
}

void TMqttOutbox::ConnectionLost() {
  while (!unacknowledged_.empty()) {
    waiting_.push_front(std::move(unacknowledged_.back().second));
    unacknowledged_.pop_back();
  }
}
