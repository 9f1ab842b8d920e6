#pragma once

#include "base/UniqueFd.h"

#include <string>

// The program's end of the line: the pseudo-terminal slave, opened raw.
class TLineEnd {
public:
  explicit TLineEnd(const std::string& path);
  bool IsOpen() const { return fd_.Valid(); }
  void Write(const std::string& bytes);
  // Exactly `count` bytes, or fewer when the deadline passes first.
  std::string Read(size_t count, int timeoutMs = 5000);
  // True once poll reports the hang-up of a removed adapter.
  bool WaitHangUp(int timeoutMs = 5000);

private:
  TUniqueFd fd_;
};
