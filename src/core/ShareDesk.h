#pragma once

#include "base/PostTarget.h"
#include "core/MirelKT5CommShare.h"
#include "data/TableRow.h"
#include "settings/AppSettings.h"
#include "share/CallCatchUp.h"
#include "share/CallReceiver.h"
#include "share/MqttClient.h"
#include "share/ShareExchange.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

// The receiving side of office sharing. The stations' histories are the
// truth: this desk keeps, per station, the key of the last of its calls (by
// the station's order) that ended here, and asks the station for the calls
// after it, or from the first recent one not ended here, whenever the
// station comes online (which its retained status also says at each new
// connection of this desk) and whenever a message of the station is missing.
// Answers are recorded silently, a page at a time; each call once.
// A live call (its ring or number younger than StaleSeconds) goes through
// the session to the controller, which rings, shows and records it; an older
// one is recorded silently. Main thread only.
// Said by a desk and by the station itself, with the station's name.
inline constexpr const char* StationNameInUseText =
    "ステーション名 %s が複数のPCで使われています。";

class TShareDesk {
public:
  TShareDesk(IMqttClient& client, TPostTargetPtr owner, const TShareSettings& settings,
             std::string desk, TMirelKT5CommShare& session);
  ~TShareDesk();
  TShareDesk(const TShareDesk&) = delete;
  TShareDesk& operator=(const TShareDesk&) = delete;

  // After every new connection: this desk is online.
  void Connected();
  // Before a deliberate disconnect, which the broker does not answer with the will.
  void Offline();
  void Take(const TMqttMessage& message);
  // Asks again what went unanswered from a station still online, and what
  // could not be recorded.
  void Tick();
  bool Asking() const { return requests_.Waiting() || !retry_.empty(); }

  // Calls were recorded without being shown; the phone-book entries added.
  std::function<void(const std::vector<TTableRow>& registered)> OnRecorded;
  // Something the user should know once: a balloon.
  std::function<void(const std::string& text)> OnWarning;

  // How many calls one answer holds at most.
  static constexpr int PageCalls = 200;
  // How long an answer is waited for before the request goes again.
  static constexpr double AnswerWaitSeconds = 10;

private:
  void CallArrived(const TDeskInput& input);
  bool Live(const TCallMessage& call) const;
  void RecordLater(const std::string& station, TCallRecord call);
  void RecordWaiting();
  bool Record(const std::string& station, const std::vector<TCallRecord>& calls);
  void StatusArrived(const TDeskInput& input);
  void CatchUp(const std::string& station);
  void NameInUse(const std::string& station);
  void Ask(const std::string& station, const std::optional<TCallMark>& after);
  void AnswerArrived(const TDeskInput& input);
  std::optional<TCallMark> MarkOf(const std::string& station) const;

  IMqttClient& client_;
  const TPostTargetPtr owner_;
  const std::string base_;
  const std::string desk_;
  const int staleSeconds_;
  TMirelKT5CommShare& session_;
  TCallReceiver receiver_;
  TShareRequests requests_;
  std::set<std::string> online_;
  // The last status of each station, and those warned of as used by two PCs.
  std::map<std::string, TStationStatus> statuses_;
  std::set<std::string> warned_;
  // Whether the request on its way to a station asked by its order.
  std::map<std::string, bool> byOrder_;
  // Stations whose calls could not be recorded: asked again at the next tick.
  std::set<std::string> retry_;
  // Calls to record silently, written together once the queue is read.
  std::vector<std::pair<std::string, TCallRecord>> waiting_;
  // What posted closures check: this desk still exists.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
