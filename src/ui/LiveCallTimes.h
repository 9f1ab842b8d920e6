#pragma once

#include <string>

// The live ring and conversation times of the call from `phoneNumber`, read
// from the call-group state the controller handled last; both empty when the
// latest call is from another number.
struct TLiveCallTimes {
  std::string OffHook;
  std::string OnHook;
};
TLiveCallTimes LiveCallTimes(const std::string& phoneNumber);
