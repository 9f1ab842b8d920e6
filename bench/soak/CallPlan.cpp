#include "CallPlan.h"

#include <cstdio>

namespace {

std::string IndexedNumber(int index) {
  char text[16];
  std::snprintf(text, sizeof text, "0990%06d", index);
  return text;
}

} // namespace

TSoakCall PlanCall(int index) {
  TSoakCall call;
  call.Index = index;
  call.Number = IndexedNumber(index);
  call.State = 2;
  call.Connected = 1;
  std::vector<std::string> answered{"offhook", "onhook"};
  switch (index % 10) {
  case 3:
    call.Number = "P";
    call.Hooks = {"unanswered"};
    call.Connected = 0;
    break;
  case 7:
    call.Number = "O";
    call.Hooks = answered;
    break;
  case 6:
  case 8:
    call.Hooks = {"unanswered"};
    call.Connected = 0;
    break;
  case 9:
    // Only the caller number: no reversal before it, no hook after it.
    call.Ring = {"number " + call.Number};
    call.State = 0;
    call.Connected = 0;
    return call;
  default:
    call.Hooks = answered;
    break;
  }
  call.Ring = {"ring", "number " + call.Number};
  return call;
}
