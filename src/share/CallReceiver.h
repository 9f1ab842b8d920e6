#pragma once

#include "share/CallMessage.h"
#include "share/MqttOutbox.h"
#include "share/RecentIds.h"

#include <optional>
#include <string>

// The receiving station's side: turns what arrives on the call topic into
// call messages, each once.
class TCallReceiver {
public:
  explicit TCallReceiver(const std::string& baseTopic);

  // The call message, or nothing for a message on another topic, one already
  // handled, or one that is not a call message (logged and dropped).
  std::optional<TCallMessage> Take(const TMqttMessage& message);

  // How many ids are remembered for the duplicate check.
  static constexpr size_t RememberedIds = 1000;

private:
  const std::string topic_;
  TRecentIds handled_{RememberedIds};
};
