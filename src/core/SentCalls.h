#pragma once

#include "common2/KT5EventArgs.h"
#include "core/LastIncomingInfo.h"
#include "core/RecoveredCalls.h"
#include "share/CallMessage.h"

#include <deque>
#include <optional>

// The sending station's view of its calls: builds the call message of a
// group event with what the station knows of the call. The history key and
// the phone book's name and memos are taken once the number is registered
// and go with every later event of the same group.
class TSentCalls {
public:
  // `before`: the tracked call when the event was handled. The registration
  // of a number runs before the message is built; a tracked call that has
  // not changed meanwhile means the number was not registered.
  TCallMessage MessageOf(const TKT5GroupEventArgs& event, const TLastIncomingInfo& before);
  // The end of a call recovered from the adapter's memory, in no group, so
  // that desks record it silently; none for a record without its outcome,
  // which desks take at their next catch-up.
  static std::optional<TCallMessage> RecoveredMessage(const TRecoveredCall& call);

  static constexpr size_t RememberedCalls = 16;

private:
  struct TCall {
    int32_t GroupNo = 0;
    TCallMessage Known; // key, name and memos
  };
  TCall& CallOf(int32_t groupNo);
  static void LookUp(const std::string& number, TCallMessage& known);

  std::deque<TCall> calls_;
};
