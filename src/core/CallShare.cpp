#include "core/CallShare.h"

#include "core/OfficeBook.h"
#include "core/ShareDesk.h"
#include "core/StationCalls.h"
#include "data/KsoCtiDb.h"
#include "data/PhoneBook.h"
#include "settings/Logging.h"
#include "share/CallCatchUp.h"
#include "share/CallSender.h"
#include "share/ShareConnection.h"
#include "share/Station.h"
#include "share/StationStatus.h"

#include <fmt/printf.h>

namespace {

bool Shares(int mode) {
  return mode == 1 || mode == 2;
}

// This database's id, which tells two PCs under one station name apart; a
// PC without its database sends under an id of this run.
std::string InstanceId() {
  try {
    if (CtiDb)
      if (const auto state = CtiDb->GetBookState())
        if (const std::string token = state->GetValue("token"); IsShareId(token))
          return token;
  } catch (const std::exception& e) {
    LogException(llWarning, "データベースの識別子を読めません。", e);
  }
  return RandomShareId();
}

} // namespace

TCallShare::TCallShare(TPostTargetPtr owner, TMqttClientFactory clients)
    : owner_(std::move(owner)), clients_(clients ? std::move(clients) : NewMqttClient) {
  catchUpTimer_.setObjectName("CatchUpTimer");
  catchUpTimer_.setInterval(5000);
  QObject::connect(&catchUpTimer_, &QTimer::timeout, [this] { CatchUpTimerTimer(); });
}

TCallShare::~TCallShare() {
  Stop(false);
}

template <typename Fn> auto TCallShare::Current(Fn fn) {
  return [this, generation = generation_, fn](const auto&... args) {
    if (generation == generation_)
      (this->*fn)(args...);
  };
}

void TCallShare::Apply(const TShareSettings& settings) {
  TShareSettings wanted = settings;
  if (!Shares(wanted.Mode))
    wanted = TShareSettings{};
  if (OfficeBookStation(wanted, ShareStationName(wanted.Station)).empty())
    LeaveOfficeBook();
  if (wanted == running_)
    return;
  Stop(running_.Mode == 1 && wanted.Mode != 1);
  running_ = wanted;
  Start();
}

// Without an office book this PC's book is its own again: a later join
// offers it to the office as a new desk's.
void TCallShare::LeaveOfficeBook() {
  if (!CtiDb)
    return;
  try {
    PhoneBook().LeaveOffice();
  } catch (const std::exception& e) {
    LogException(llWarning, "電話帳の共有状態を戻せません。", e);
  }
}

void TCallShare::Start() {
  if (Shares(running_.Mode)) {
    const std::string station = ShareStationName(running_.Station);
    LogFmt(llInfo, "MQTTブローカーに接続します。Host=[%s:%d] Mode=%d", running_.Host, running_.Port,
           running_.Mode);
    if (CredentialsInClear(running_))
      LogFmt(llWarning,
             "MQTTのユーザー名とパスワードが暗号化されずに送られます。"
             "CA証明書ファイルを設定してTLSで接続して下さい。Host=[%s]",
             running_.Host);
    WarnOfReadablePassword();
    ++generation_;
    lastStatus_.reset();
    dropReported_ = receiveDropReported_ = nameWarned_ = false;
    TMqttEvents events;
    events.OnStatus = Current(&TCallShare::StatusChanged);
    events.OnMessage = Current(&TCallShare::MessageArrived);
    events.OnDropped = Current(&TCallShare::Dropped);
    events.OnRefused = Current(&TCallShare::Refused);
    events.OnReceiveDropped = Current(&TCallShare::ReceiveDropped);
    const TStationStatus identity{station, true, false, false, InstanceId(), RandomShareId()};
    client_ = clients_(ShareClientOptions(running_, station, identity), owner_, std::move(events));
    if (running_.Mode == 1) {
      sender_ =
          std::make_unique<TCallSender>(*client_, running_.Topic, identity, running_.HomeAssistant);
    } else {
      desk_ = std::make_unique<TShareDesk>(*client_, owner_, running_, station, Session);
      desk_->OnRecorded = [this](const std::vector<TTableRow>& registered) {
        if (OnCallsRecorded)
          OnCallsRecorded(registered);
      };
      desk_->OnWarning = [this](const std::string& text) { Warn(text); };
    }
    StartBook(station);
    if (desk_ || !OfficeBookStation(running_, station).empty())
      catchUpTimer_.start();
  }
  if (OnStateChanged)
    OnStateChanged();
}

void TCallShare::StartBook(const std::string& station) {
  const std::string book = OfficeBookStation(running_, station);
  if (book.empty())
    return;
  try {
    book_ = std::make_unique<TOfficeBook>(*client_, owner_, running_.Topic, station, book);
    book_->OnJoinQuestion = [this](int count, const std::string& exported) {
      const std::string kept =
          exported.empty()
              ? ""
              : fmt::sprintf("\r\n（この端末の電話帳は %s に書き出しました。）", exported);
      return OnQuestion && OnQuestion(fmt::sprintf(
                               "この端末の電話帳にだけある %d 件を事務所の電話帳に"
                               "登録しますか？\r\n「いいえ」ではこの端末の電話帳から外します。%s",
                               count, kept));
    };
  } catch (const std::exception& e) {
    LogException(llError, "事務所の電話帳を使えません。", e);
  }
}

void TCallShare::Stop(bool sharingEnds) {
  if (!client_)
    return;
  if (sender_ && sharingEnds)
    sender_->RemoveDiscovery();
  if (sender_)
    sender_->Offline();
  if (desk_)
    desk_->Offline();
  catchUpTimer_.stop();
  // The desk records the calls it still holds as it goes: the book's edit
  // hook is in place until then.
  desk_.reset();
  book_.reset();
  sender_.reset();
  // Sends what it was given while connected, disconnects and joins its thread.
  client_.reset();
  ++generation_;
  connected_ = false;
  LogFmt(llInfo, "MQTTブローカーとの接続を終了しました。Host=[%s:%d]", running_.Host,
         running_.Port);
}

std::string TCallShare::StateText() const {
  if (!Shares(running_.Mode))
    return {};
  return connected_ ? "MQTTブローカーと接続中です。" : "MQTTブローカーに接続していません。";
}

void TCallShare::StatusChanged(const TMqttStatus& status) {
  LogStatus(status);
  const bool was = connected_;
  connected_ = status.State == TMqttState::Connected;
  if (connected_) {
    dropReported_ = receiveDropReported_ = false;
    if (sender_)
      sender_->Announce(sourceConnected_);
    if (desk_)
      desk_->Connected();
    if (book_)
      book_->Connected();
  }
  if (was != connected_ && OnStateChanged)
    OnStateChanged();
}

void TCallShare::LogStatus(const TMqttStatus& status) {
  // A failure that only repeats the last one goes to the debug level.
  const bool repeated = lastStatus_ && lastStatus_->State == status.State &&
                        lastStatus_->Code == status.Code && lastStatus_->Detail == status.Detail;
  lastStatus_ = status;
  const std::string host = fmt::sprintf("Host=[%s:%d]", running_.Host, running_.Port);
  switch (status.State) {
  case TMqttState::Connected:
    LogFmt(llInfo, "MQTTブローカーに接続しました。%s", host);
    break;
  case TMqttState::Lost:
    LogFmt(llWarning, "MQTTブローカーとの接続が切れました。%s [原因] %s", host, status.Detail);
    break;
  case TMqttState::Unreachable:
    LogFmt(repeated ? llDebug : llWarning, "MQTTブローカーに接続できません。%s [原因] %s", host,
           status.Detail);
    break;
  case TMqttState::Refused: {
    // 4: bad user name or password; 5: not authorised.
    const bool credentials = status.Code == 4 || status.Code == 5;
    LogFmt(repeated ? llDebug : llError,
           credentials
               ? "MQTTブローカーに接続を拒否されました。ユーザー名とパスワードを確認して下さい。"
                 "%s [原因] %s"
               : "MQTTブローカーに接続を拒否されました。%s [原因] %s",
           host, status.Detail);
    break;
  }
  }
}

void TCallShare::MessageArrived(const TMqttMessage& message) {
  if (book_ && book_->Take(message))
    return;
  if (desk_)
    desk_->Take(message);
  else if (sender_)
    SenderTake(message);
}

void TCallShare::SenderTake(const TMqttMessage& message) {
  const TCallSender::TNameUse use = sender_->TakeOwnStatus(message);
  if (use != TCallSender::TNameUse::Own) {
    const std::string text = fmt::sprintf(StationNameInUseText, sender_->Identity().Station);
    LogFmt(llError, "%s", text);
    if (use == TCallSender::TNameUse::Refused)
      Log(llError,
          "先に接続していたPCがあるため、ステーション名を変えるまで着信情報を送信しません。");
    if (!std::exchange(nameWarned_, true))
      Warn(text);
  }
  if (const auto request = sender_->RequestOf(message))
    Answer(*request);
}

void TCallShare::Warn(const std::string& text) {
  if (OnWarning)
    OnWarning(text);
}

// A page of this PC's history after the desk's key; a failure leaves the
// desk to ask again.
void TCallShare::Answer(const TShareRequest& request) {
  if (request.What != CallsSubject) {
    LogFmt(llDebug, "共有の依頼の種類が違います。種類=[%s]", request.What);
    return;
  }
  try {
    const int page = request.Page > 0 ? request.Page : TShareDesk::PageCalls;
    QJsonArray items;
    for (const TCallRecord& call : OwnCallsAfter(CallMarkOf(request.After), page))
      items.push_back(CallRecordJson(call));
    const bool more = items.size() == page;
    sender_->Answer(request, std::move(items), more);
  } catch (const std::exception& e) {
    LogException(llWarning,
                 fmt::sprintf("着信履歴の問い合わせに答えられません。ID=[%s]", request.Id), e);
  }
}

void TCallShare::DescribeCall(int32_t groupNo, TTableRow& incoming) {
  const std::optional<TCallMessage> call = Session.TakeNumberMessage(groupNo);
  if (!call)
    return;
  incoming.SetValue("_Station", call->Station);
  if (call->IncomingOrder && call->IncomingDate) {
    incoming.SetValue("_StationOrder", std::to_string(*call->IncomingOrder));
    incoming.SetValue("_IncomingDate", *call->IncomingDate);
  }
  incoming.SetValue("owner_name", call->OwnerName);
  incoming.SetValue("memo1", call->Memo1);
  incoming.SetValue("memo2", call->Memo2);
  incoming.SetValue("memo3", call->Memo3);
}

void TCallShare::CatchUpTimerTimer() {
  if (desk_)
    desk_->Tick();
  if (book_)
    book_->Tick();
  else
    RetryBook();
}

// A book that could not start (its state unreadable for a while) starts
// later: without it this PC's edits would stay on this PC. Connected, it
// starts on a new connection, which brings the kept statuses it missed.
void TCallShare::RetryBook() {
  if (!client_)
    return;
  StartBook(ShareStationName(running_.Station));
  if (book_ && connected_) {
    Stop(false);
    Start();
  }
}

void TCallShare::WarnOfReadablePassword() {
  if (running_.Password.empty() || !SettingsFileReadableByOthers())
    return;
  LogFmt(llWarning,
         "MQTTブローカーのパスワードを保存したファイルを他のユーザーが読めます。"
         "設定を保存し直すと所有者だけが読めるようにします。File=[%s]",
         TAppSettings::FileName());
  if (!passwordWarned_)
    Warn("設定ファイルのMQTTパスワードを他のユーザーが読めます。\r\n"
         "設定画面で保存し直して下さい。");
  passwordWarned_ = true;
}

// Once per outage (or connection) at the warning level; the count goes on at
// the debug level.
void TCallShare::ReportDropped(const char* text, size_t dropped, bool& reported) {
  LogFmt(reported ? llDebug : llWarning, text, static_cast<int>(dropped));
  reported = true;
}

void TCallShare::Dropped(size_t dropped) {
  ReportDropped("MQTTの送信待ちが上限を超えたため、古いメッセージを破棄しました。(破棄 %d 件)",
                dropped, dropReported_);
}

void TCallShare::ReceiveDropped(size_t dropped) {
  ReportDropped("MQTTの受信待ちが上限を超えたため、受信したメッセージを破棄しました。(破棄 %d 件)",
                dropped, receiveDropReported_);
}

void TCallShare::Refused(const TMqttMessage& message) {
  LogFmt(llError, "MQTTのライブラリが受け付けないメッセージを破棄しました。Topic=[%s] サイズ=%d",
         message.Topic, static_cast<int>(message.Payload.size()));
}

void TCallShare::GroupEventHandled(const IKT5GroupEventArgs& event) {
  if (!sender_ || !event)
    return;
  const TLastIncomingInfo before = LastIncomingInfo;
  owner_->Post([this, generation = generation_, event, before] {
    if (generation == generation_ && sender_)
      sender_->Send(sent_.MessageOf(*event, before));
  });
}

void TCallShare::SourceConnected(bool connected) {
  if (connected == sourceConnected_)
    return;
  sourceConnected_ = connected;
  if (sender_ && connected_)
    sender_->Status(connected);
}

void TCallShare::CallsRecovered(const std::vector<TRecoveredCall>& calls) {
  if (!sender_)
    return;
  for (const TRecoveredCall& call : calls)
    if (std::optional<TCallMessage> message = TSentCalls::RecoveredMessage(call))
      sender_->Send(std::move(*message));
}
