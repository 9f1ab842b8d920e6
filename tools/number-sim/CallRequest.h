#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/DateTime.h"
#include "common2/KT5EventArgs.h"

constexpr int DefaultRingSeconds = 5;
constexpr int DefaultTalkSeconds = 30;

// What `call` asks for: the latest change of a call group and how long the
// call rang and talked before it.
struct TCallRequest {
  uint8_t Kind = 0; // 1-5, or 7 for the group end
  int32_t GroupNo = 0;
  std::string Number; // UTF-8; "-" or empty for none
  std::optional<int> RingSeconds;
  std::optional<int> TalkSeconds;
};

bool IsCallKind(int kind);

// The finished group state a device session would hold when the change
// `request.Kind` happens at `now`: earlier changes are placed back in time
// so that the ring and talk seconds come out as asked. A group end (7)
// closes an answered call when talk seconds are given, else an unanswered one.
TKT5GroupEventArgs BuildGroupEvent(const TCallRequest& request, TDateTime now);
