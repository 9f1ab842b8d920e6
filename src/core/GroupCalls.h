#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>

struct TIncomingCall;

// The calls of the latest call groups, so that a hook event reaches the call
// of its own group and no other, however the events of several calls
// interleave. A group's number is posted for registration first (its hook
// events wait meanwhile); then the call made of it belongs to the group
// until the group ends. A group that brought no number (a ring alone) has
// no call to update.
class TGroupCalls {
public:
  // A number of `group` was posted for registration.
  void NumberPosted(int32_t group);
  // The posted number of `group` was handled; `call` (null: none was made)
  // is the group's call from now on.
  void NumberHandled(int32_t group, std::shared_ptr<TIncomingCall> call);
  // Whether a hook event of `group` must wait: its number still waits to be
  // registered, or an earlier event of the group waits already (an event
  // applied before it would overtake it: an end before the answer loses the
  // answer). Counted until Resumed.
  bool Defer(int32_t group);
  // A waiting hook event of `group` is applied now.
  void Resumed(int32_t group);
  // The call of `group`, or null.
  std::shared_ptr<TIncomingCall> CallOf(int32_t group) const;

  // The end of `group` was applied: nothing more comes for it.
  void Ended(int32_t group);
  // A burst of calls may be read long before the first is handled: a group
  // is forgotten once it ended and none of its events waits, and beyond this
  // many only if none waits.
  static constexpr size_t RememberedGroups = 1024;

private:
  struct TEntry {
    int32_t Group = 0;
    int Posted = 0;
    int Deferred = 0;
    std::shared_ptr<TIncomingCall> Call;
  };
  TEntry& EntryOf(int32_t group);
  // Nothing of the group waits.
  static bool Idle(const TEntry& entry);

  std::deque<TEntry> entries_;
};
