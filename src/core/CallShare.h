#pragma once

#include "base/PostTarget.h"
#include "common2/KT5EventArgs.h"
#include "core/MirelKT5CommShare.h"
#include "core/SentCalls.h"
#include "settings/AppSettings.h"
#include "share/MqttClient.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class TCallReceiver;
class TCallSender;

// Calls shared across an office through an MQTT broker. Mode 1 publishes
// every call event this PC handles; mode 2 takes its calls from the broker
// through Session, as from an adapter. The broker's state is logged on each
// change; it never holds up the local handling of a call. Main thread only.
class TCallShare {
public:
  // A null factory makes the libmosquitto client.
  TCallShare(TPostTargetPtr owner, TMqttClientFactory clients);
  ~TCallShare();
  TCallShare(const TCallShare&) = delete;
  TCallShare& operator=(const TCallShare&) = delete;

  // Starts, restarts or stops the connection when the settings differ from
  // the running ones.
  void Apply(const TShareSettings& settings);
  int Mode() const { return running_.Mode; }
  bool Receiving() const { return running_.Mode == 2; }
  bool BrokerConnected() const { return connected_; }
  // The broker's state in words; empty when nothing is shared.
  std::string StateText() const;

  // Mode 1: the controller has handled a group event; its message is built
  // and published after what that handling posted (the number's registration).
  void GroupEventHandled(const IKT5GroupEventArgs& event);
  // Mode 1: the adapter (or simulator) connection, told in the status.
  void SourceConnected(bool connected);

  // The calls received from the broker.
  TMirelKT5CommShare Session;
  // The broker connection came up or went down.
  std::function<void()> OnStateChanged;

private:
  void Start();
  void Stop();
  void StatusChanged(const TMqttStatus& status);
  void LogStatus(const TMqttStatus& status);
  void MessageArrived(const TMqttMessage& message);
  void Dropped(size_t dropped);
  // Drops what an older connection posted after it was replaced.
  template <typename Fn> auto Current(Fn fn);

  const TPostTargetPtr owner_;
  const TMqttClientFactory clients_;
  TShareSettings running_;
  uint64_t generation_ = 0;
  std::unique_ptr<IMqttClient> client_;
  std::unique_ptr<TCallSender> sender_;
  std::unique_ptr<TCallReceiver> receiver_;
  TSentCalls sent_;
  bool connected_ = false;
  bool sourceConnected_ = false;
  bool dropReported_ = false;
  std::optional<TMqttStatus> lastStatus_;
};
