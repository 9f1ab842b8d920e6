#pragma once

#include <string>
#include <vector>

// The calls of a soak run, a fixed pattern over each ten calls: mostly
// answered, some unanswered, withheld ("P") and out-of-area ("O") callers,
// and one number without a polarity reversal or any hook event. A real
// number carries the call's index, so that a lost or doubled call shows in
// the history.
struct TSoakCall {
  int Index = 0;
  std::string Number;
  // Adapter commands up to the caller number, then the hook events.
  std::vector<std::string> Ring;
  std::vector<std::string> Hooks;
  // The history row once the call is over (state, connected). A number
  // without a reversal joins the call before it, which has ended already,
  // so nothing ends it: its row keeps state 0.
  int State = 0;
  int Connected = 0;
};

TSoakCall PlanCall(int index);
