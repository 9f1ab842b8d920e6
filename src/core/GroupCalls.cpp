#include "core/GroupCalls.h"

#include <algorithm>

namespace {

// The entry of `group` in `entries` (const or not), or null.
template <typename Entries>
auto FindEntry(Entries& entries, int32_t group) -> decltype(&entries.front()) {
  for (auto& entry : entries) {
    if (entry.Group == group)
      return &entry;
  }
  return nullptr;
}

} // namespace

bool TGroupCalls::Idle(const TEntry& entry) {
  return entry.Posted == 0 && entry.Deferred == 0;
}

TGroupCalls::TEntry& TGroupCalls::EntryOf(int32_t group) {
  if (TEntry* found = FindEntry(entries_, group))
    return *found;
  if (entries_.size() >= RememberedGroups) {
    const auto idle = std::find_if(entries_.begin(), entries_.end(),
                                   [](const TEntry& entry) { return Idle(entry); });
    entries_.erase(idle != entries_.end() ? idle : entries_.begin());
  }
  entries_.push_back({group, 0, 0, nullptr});
  return entries_.back();
}

void TGroupCalls::NumberPosted(int32_t group) {
  ++EntryOf(group).Posted;
}

void TGroupCalls::NumberHandled(int32_t group, std::shared_ptr<TIncomingCall> call) {
  TEntry& entry = EntryOf(group);
  entry.Posted = std::max(entry.Posted - 1, 0);
  entry.Call = std::move(call);
}

bool TGroupCalls::Defer(int32_t group) {
  TEntry* entry = FindEntry(entries_, group);
  if (entry == nullptr || Idle(*entry))
    return false;
  ++entry->Deferred;
  return true;
}

void TGroupCalls::Resumed(int32_t group) {
  if (TEntry* entry = FindEntry(entries_, group))
    entry->Deferred = std::max(entry->Deferred - 1, 0);
}

std::shared_ptr<TIncomingCall> TGroupCalls::CallOf(int32_t group) const {
  const TEntry* entry = FindEntry(entries_, group);
  return entry != nullptr ? entry->Call : nullptr;
}

void TGroupCalls::Ended(int32_t group) {
  entries_.erase(
      std::remove_if(entries_.begin(), entries_.end(),
                     [group](const TEntry& entry) { return entry.Group == group && Idle(entry); }),
      entries_.end());
}
