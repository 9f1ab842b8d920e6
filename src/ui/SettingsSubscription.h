#pragma once

#include <cstdint>
#include <functional>
#include <memory>

class QObject;
class TPostTarget;

// A window's registration for the settings-changed notice, from creation to
// destruction; the notice runs on the window's thread after the saving
// handler has finished.
class TSettingsSubscription {
public:
  TSettingsSubscription(QObject* window, std::function<void()> onSettingsChanged);
  ~TSettingsSubscription();
  TSettingsSubscription(const TSettingsSubscription&) = delete;
  TSettingsSubscription& operator=(const TSettingsSubscription&) = delete;

private:
  uint32_t handle_;
  std::shared_ptr<TPostTarget> target_;
};
