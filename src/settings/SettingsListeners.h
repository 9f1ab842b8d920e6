#pragma once

#include "base/PostTarget.h"

#include <cstdint>
#include <functional>

// The windows that re-read the settings after they were saved. A listener is
// known by a 32-bit handle; its notice is posted through its own target, so it
// runs after the saving handler has finished.
struct TSettingsListener {
  std::weak_ptr<TPostTarget> Target;
  std::function<void()> OnSettingsChanged;
};

// Adds the handle unless it is present already (the first registration stays).
void AddSettingsListener(uint32_t handle, TSettingsListener listener);
void RemoveSettingsListener(uint32_t handle);
// Posts one notice to every listener in the order of their handles written as
// eight upper-case hex digits. A listener whose target is gone is skipped.
void NotifySettingsChanged();
// A fresh handle for a window that has none of its own.
uint32_t NewListenerHandle();
