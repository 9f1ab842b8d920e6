#include "ui/SettingsSubscription.h"

#include "core/QtPostTarget.h"
#include "settings/SettingsListeners.h"

TSettingsSubscription::TSettingsSubscription(QObject* window,
                                             std::function<void()> onSettingsChanged)
    : handle_(NewListenerHandle()), target_(std::make_shared<TQtPostTarget>(window)) {
  AddSettingsListener(handle_, {target_, std::move(onSettingsChanged)});
}

TSettingsSubscription::~TSettingsSubscription() {
  RemoveSettingsListener(handle_);
}
