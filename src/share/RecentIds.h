#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <unordered_set>

// The ids of the last messages handled, so that a message delivered twice
// is handled once. The oldest id is forgotten when the set is full.
class TRecentIds {
public:
  explicit TRecentIds(size_t capacity) : capacity_(capacity) {}

  // True the first time an id is seen; false when it is among the last ones.
  bool Remember(const std::string& id);

private:
  size_t capacity_;
  std::deque<std::string> order_;
  std::unordered_set<std::string> ids_;
};
