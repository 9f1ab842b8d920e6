#include "settings/SettingsListeners.h"

#include <atomic>
#include <fmt/format.h>
#include <map>
#include <string>
#include <vector>

namespace {

// Keyed by the handle's hex text, which also gives the notice order.
std::map<std::string, TSettingsListener>& Listeners() {
  static std::map<std::string, TSettingsListener> listeners;
  return listeners;
}

std::string HandleText(uint32_t handle) {
  return fmt::format("{:08X}", handle);
}

} // namespace

void AddSettingsListener(uint32_t handle, TSettingsListener listener) {
  Listeners().emplace(HandleText(handle), std::move(listener));
}

void RemoveSettingsListener(uint32_t handle) {
  Listeners().erase(HandleText(handle));
}

void NotifySettingsChanged() {
  // Collected first: a notice may run synchronously and change the set.
  std::vector<std::pair<TPostTargetPtr, std::function<void()>>> notices;
  for (const auto& [text, listener] : Listeners()) {
    if (TPostTargetPtr target = listener.Target.lock())
      notices.emplace_back(std::move(target), listener.OnSettingsChanged);
  }
  for (auto& [target, fn] : notices)
    target->Post(fn);
}

uint32_t NewListenerHandle() {
  // Above the range of process ids, which the main window uses as its handle.
  static std::atomic<uint32_t> next{0x40000000};
  return next++;
}
