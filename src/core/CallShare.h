#pragma once

#include "base/PostTarget.h"
#include "common2/KT5EventArgs.h"
#include "core/MirelKT5CommShare.h"
#include "core/SentCalls.h"
#include "data/TableRow.h"
#include "settings/AppSettings.h"
#include "share/MqttClient.h"

#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TCallSender;
class TOfficeBook;
class TShareDesk;
struct TShareRequest;

// Calls shared across an office through an MQTT broker. Mode 1 publishes
// every call event this PC handles and answers the desks' requests for its
// history; mode 2 takes its calls from the broker (TShareDesk), the live ones
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
  // the running ones. Turned off, a sending station's hub sensors are removed.
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
  // Mode 1: calls the adapter's memory added to the history or ended there
  // go to the desks, which record them silently.
  void CallsRecovered(const std::vector<TRecoveredCall>& calls);

  // Mode 2: the incoming row of a number event of Session's group `groupNo`
  // becomes that of the sending station's call: its station ("_Station"),
  // its key there ("_StationOrder" and "_IncomingDate"; no order when the
  // station could not record it) and its name and memos there.
  void DescribeCall(int32_t groupNo, TTableRow& incoming);
  // Mode 2: asks again what went unanswered; CatchUpTimer calls it.
  void CatchUpTimerTimer();
  const QTimer& CatchUpTimer() const { return catchUpTimer_; }

  // The calls received from the broker.
  TMirelKT5CommShare Session;
  // The broker connection came up or went down.
  std::function<void()> OnStateChanged;
  // Calls were recorded without being shown; the phone-book entries added.
  std::function<void(const std::vector<TTableRow>& registered)> OnCallsRecorded;
  // Something the user should know once: a balloon.
  std::function<void(const std::string& text)> OnWarning;
  // A yes-or-no question to the user ("いいえ" without a screen).
  std::function<bool(const std::string& text)> OnQuestion;

private:
  void Start();
  void StartBook(const std::string& station);
  void RetryBook();
  void LeaveOfficeBook();
  void Stop(bool sharingEnds);
  void WarnOfReadablePassword();
  void StatusChanged(const TMqttStatus& status);
  void LogStatus(const TMqttStatus& status);
  void MessageArrived(const TMqttMessage& message);
  void SenderTake(const TMqttMessage& message);
  void Warn(const std::string& text);
  void Refused(const TMqttMessage& message);
  void Answer(const TShareRequest& request);
  static void ReportDropped(const char* text, size_t dropped, bool& reported);
  void Dropped(size_t dropped);
  void ReceiveDropped(size_t dropped);
  // Drops what an older connection posted after it was replaced.
  template <typename Fn> auto Current(Fn fn);

  const TPostTargetPtr owner_;
  const TMqttClientFactory clients_;
  TShareSettings running_;
  uint64_t generation_ = 0;
  std::unique_ptr<IMqttClient> client_;
  std::unique_ptr<TCallSender> sender_;
  std::unique_ptr<TShareDesk> desk_;
  std::unique_ptr<TOfficeBook> book_;
  TSentCalls sent_;
  QTimer catchUpTimer_;
  bool connected_ = false;
  bool sourceConnected_ = false;
  bool dropReported_ = false;
  bool receiveDropReported_ = false;
  bool passwordWarned_ = false;
  bool nameWarned_ = false;
  std::optional<TMqttStatus> lastStatus_;
};
