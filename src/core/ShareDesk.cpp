#include "core/ShareDesk.h"

#include "base/Clock.h"
#include "core/StationCalls.h"
#include "data/CallHistory.h"
#include "settings/DateText.h"
#include "settings/Logging.h"
#include "share/ShareTopics.h"

#include <fmt/printf.h>
#include <map>

TShareDesk::TShareDesk(IMqttClient& client, TPostTargetPtr owner, const TShareSettings& settings,
                       std::string desk, TMirelKT5CommShare& session)
    : client_(client), owner_(std::move(owner)), base_(settings.Topic), desk_(std::move(desk)),
      staleSeconds_(settings.StaleSeconds), session_(session),
      receiver_(base_, desk_, settings.Stations), requests_(desk_) {}

// What waits is written still; the windows may be gone already.
TShareDesk::~TShareDesk() {
  OnRecorded = nullptr;
  RecordWaiting();
}

void TShareDesk::Connected() {
  // The stations' retained statuses follow, and each online one is asked.
  online_.clear();
  client_.Publish(DeskMessage(base_, desk_, true));
}

void TShareDesk::Offline() {
  client_.Publish(DeskMessage(base_, desk_, false));
}

void TShareDesk::Take(const TMqttMessage& message) {
  const TDeskInput input = receiver_.Take(message);
  switch (input.Kind) {
  case TDeskInput::TKind::Call:
    CallArrived(input);
    break;
  case TDeskInput::TKind::Status:
    StatusArrived(input);
    break;
  case TDeskInput::TKind::Response:
    AnswerArrived(input);
    break;
  case TDeskInput::TKind::Nothing:
    break;
  }
}

void TShareDesk::CallArrived(const TDeskInput& input) {
  const TCallMessage& call = input.Call;
  if (input.Gap) {
    LogFmt(llInfo, "共有された着信情報の抜けを送信元に問い合わせます。送信元=[%s] ID=[%s]",
           input.Station, call.Id);
    CatchUp(input.Station);
  }
  if (Live(call)) {
    session_.InjectMessage(call);
    // A call its station could not record is shown only; it is caught up
    // once the station has it.
    if (call.Kind == 7 && !call.IncomingOrder)
      retry_.insert(input.Station);
  } else if (auto record = CallRecordOf(call)) {
    RecordLater(input.Station, std::move(*record));
  }
}

// A call seen live from its start stays live to its end.
bool TShareDesk::Live(const TCallMessage& call) const {
  if (session_.Tracks(call.Station, call.Run, call.GroupNo))
    return true;
  if (call.Kind != 1 && call.Kind != 2)
    return false;
  const std::optional<std::string>& date = call.Date ? call.Date : call.IncomingDate;
  if (!date)
    return true; // a sender that does not say when: taken as it comes
  return (Now() - DateTimeFromTextDef(*date, 0)) * 86400.0 < staleSeconds_;
}

void TShareDesk::RecordLater(const std::string& station, TCallRecord call) {
  if (waiting_.empty())
    owner_->Post([this, alive = std::weak_ptr<bool>(alive_)] {
      if (alive.lock())
        RecordWaiting();
    });
  waiting_.emplace_back(station, std::move(call));
}

void TShareDesk::RecordWaiting() {
  std::map<std::string, std::vector<TCallRecord>> byStation;
  for (auto& [station, call] : waiting_)
    byStation[station].push_back(std::move(call));
  waiting_.clear();
  for (const auto& [station, calls] : byStation)
    Record(station, calls);
}

bool TShareDesk::Record(const std::string& station, const std::vector<TCallRecord>& calls) {
  try {
    const std::vector<TTableRow> registered = RecordStationCalls(station, calls);
    if (OnRecorded)
      OnRecorded(registered);
    return true;
  } catch (const std::exception& e) {
    LogException(llWarning,
                 fmt::sprintf("共有された着信情報を記録できません。送信元=[%s]", station), e);
    retry_.insert(station);
    return false;
  }
}

// A station gone, or started again, ends its calls in progress here.
void TShareDesk::StatusArrived(const TDeskInput& input) {
  const TStationStatus& status = input.Status;
  const auto known = statuses_.find(input.Station);
  const bool wasOnline = known != statuses_.end() && known->second.Online;
  if (wasOnline && status.Online && !status.Instance.empty() && !known->second.Instance.empty() &&
      status.Instance != known->second.Instance)
    NameInUse(input.Station);
  // A new run seen without its offline between (a retained status
  // replaced while away): the old run's unanswered request is void.
  const bool restarted = wasOnline && status.Online && status.Run != known->second.Run;
  if (!status.Online || !wasOnline || restarted)
    session_.ForgetStation(input.Station);
  statuses_[input.Station] = status;
  if (!status.Online || restarted)
    requests_.Forget(input.Station);
  if (!status.Online)
    online_.erase(input.Station);
  else if (online_.insert(input.Station).second || restarted)
    CatchUp(input.Station);
}

void TShareDesk::NameInUse(const std::string& station) {
  const std::string text = fmt::sprintf(StationNameInUseText, station);
  LogFmt(llError, "%s", text);
  if (warned_.insert(station).second && OnWarning)
    OnWarning(text);
}

void TShareDesk::CatchUp(const std::string& station) {
  std::optional<TCallMark> mark;
  try {
    mark = MarkOf(station);
  } catch (const std::exception& e) {
    LogException(llWarning, "共有された着信情報の記録位置を読めません。", e);
    retry_.insert(station);
    return;
  }
  Ask(station, mark);
}

// Just before the first of the station's recent calls not ended here (its
// end lost or not yet come), else after the last that ended here. At the
// first contact with a station, the calls this desk recorded before calls
// kept their station's key are not asked for again.
std::optional<TCallMark> TShareDesk::MarkOf(const std::string& station) const {
  const auto ended = CallHistory().StationMark(station);
  if (!ended) {
    const std::string date = CallHistory().NewestOwnCallDate();
    return date.empty() ? std::nullopt : std::optional(TCallMark{0, date, false});
  }
  TCallMark mark{ended->Order, ended->Date, true};
  if (const auto open = CallHistory().OldestOpenStationCall(station, PageCalls))
    if (std::tie(open->Order, open->Date) <= std::tie(mark.Order, mark.Date))
      mark = {open->Order - 1, open->Date, true};
  return mark;
}

void TShareDesk::Ask(const std::string& station, const std::optional<TCallMark>& after) {
  if (auto request = requests_.Ask(station, CallsSubject, CallMarkJson(after), Now())) {
    LogFmt(llDebug, "着信情報を送信元に問い合わせます。送信元=[%s] ID=[%s]", station, request->Id);
    byOrder_[station] = after && after->ByOrder;
    client_.Publish({RequestTopic(base_, station, desk_), EncodeShareRequest(*request), false});
  }
}

void TShareDesk::AnswerArrived(const TDeskInput& input) {
  const TShareResponse& response = input.Response;
  const auto answered = requests_.Answered(response);
  if (!answered) {
    LogFmt(llDebug, "問い合わせていない応答を無視しました。ID=[%s]", response.Id);
    return;
  }
  std::vector<TCallRecord> calls;
  try {
    for (const QJsonValue& item : response.Items)
      calls.push_back(CallRecordOf(item));
  } catch (const ECallMessageError& e) {
    LogFmt(llWarning, "共有された応答を読み取れません。送信元=[%s] [詳細] %s", input.Station,
           e.Message());
    return;
  }
  if (!calls.empty() && !Record(input.Station, calls))
    return;
  LogFmt(llInfo, "送信元から着信情報を取り寄せました。送信元=[%s] 件数=%d", input.Station,
         static_cast<int>(calls.size()));
  // A page ends with the last call in the order asked for.
  if (response.More && !calls.empty())
    Ask(input.Station, TCallMark{calls.back().Order, calls.back().Date, byOrder_[input.Station]});
  else if (answered->AskAgain)
    CatchUp(input.Station);
}

void TShareDesk::Tick() {
  const TDateTime now = Now();
  for (const auto& [station, request] : requests_.Overdue(now - AnswerWaitSeconds / 86400, now)) {
    if (online_.count(station) != 0)
      client_.Publish({RequestTopic(base_, station, desk_), EncodeShareRequest(request), false});
    else
      requests_.Forget(station);
  }
  std::set<std::string> retry;
  std::swap(retry, retry_);
  for (const std::string& station : retry)
    CatchUp(station);
}
