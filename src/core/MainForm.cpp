#include "core/MainForm.h"

#include "core/MemoryCatchUp.h"

#include "base/Exception.h"
#include "base/Text.h"
#include "common2/MirelKT5Comm.h"
#include "core/CallShare.h"
#include "core/CommandLine.h"
#include "core/DebugFile.h"
#include "core/LastIncomingInfo.h"
#include "core/MemoryCatchUp.h"
#include "core/Messages.h"
#include "core/MirelKT5CommSim.h"
#include "core/NumberSimReceiver.h"
#include "core/QtPostTarget.h"
#include "core/RingSound.h"
#include "data/CallHistory.h"
#include "data/KsoCtiDb.h"
#include "platform/MessageEndpoint.h"
#include "platform/ProgramPaths.h"
#include "settings/AppSettings.h"
#include "settings/Logging.h"
#include "settings/SettingsListeners.h"
#include "settings/SharedValue.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstring>
#include <fmt/printf.h>

TMainForm* MainForm = nullptr;
TLastIncomingInfo LastIncomingInfo;
IKT5GroupEventArgs LastGroupEvent;
std::atomic<bool> AppClosing{false};

namespace {

const char* const kClientWindowName = "TELORIA2_CLIENT_WINDOW_MMF";
const char* const kBalloonText = "\r\n  このアイコンをクリックするとメニューが出ます。  \r\n";
// Without a tray there is no icon to click: the windows open from the desktop
// entry's actions or the command line. A notification daemon wraps the lines
// itself, so they break only between sentences.
const char* const kNoTrayBalloonText =
    "タスクトレイがないため、各画面はアプリケーションメニューの Teloria II "
    "の項目（登録一覧、電話着信履歴、各種設定など）から開けます。\r\n"
    "端末からは teloria2 -show settings などで開けます。";

// Timer handlers run from the event loop: nothing may escape them.
void Guarded(const char* what, const std::function<void()>& fn) {
  try {
    fn();
  } catch (const std::exception& e) {
    LogException(llError, what, e);
  }
}

} // namespace

TMainForm::TMainForm(TMainFormDeps deps)
    : deps_(std::move(deps)), postTarget_(std::make_shared<TQtPostTarget>(this)) {
  setObjectName("MainForm");
  MainForm = this;
  AppClosing = false;
  if (!deps_.Sound)
    deps_.Sound = std::make_unique<TRingSound>();
  if (!deps_.Quit)
    deps_.Quit = [] { QCoreApplication::exit(0); };
  ConnectTimers();
  try {
    endpoint_ = NewEndpoint();
    handle_ = endpoint_->Handle();
  } catch (const std::exception& e) {
    LogException(llError, "メッセージの受信口を作成できません。", e);
  }
  PublishHandle();
  listenerHandle_ = handle_ != 0 ? handle_ : NewListenerHandle();
  CreateSessions();
  ready_ = false;
  LastGroupEvent = std::make_shared<TKT5GroupEventArgs>();
  LastGroupEvent->GroupNo = -1;
  Post([this] { CMStartup(); });
  // Started with "-show": the window opens once start-up is done.
  if (const TCommandLine command = ParseCommandLine(deps_.Arguments);
      command.Verb == TCommandVerb::Show)
    Post([this, command] { CMShowWindow(static_cast<uint32_t>(command.Window), command.Notify); });
}

TMainForm::~TMainForm() {
  // No request from another process may reach a half-destroyed window.
  endpoint_.reset();
  if (started_) {
    AppClosing = true;
    mirelCheckTimer_.stop();
    balloonHelpHideTimer_.stop();
    debugCheckTimer_.stop();
    replayTimer_.stop();
    scanner_.reset();
    // The end of a call in progress, which closing the port reports, is
    // among the last writes (done already when the program ends normally).
    HandleReadBeforeClosing();
    WriteBeforeClosing();
    RemoveSettingsListener(listenerHandle_);
  }
  checkResetMirelTimeTimer_.stop();
  usbDevCheckTimer_.stop();
  runtimeCheckTimer_.stop();
  CloseSharedValue(clientWindowMapping_);
  catchUp_.reset();
  share_.reset();
  simReceiver_.reset();
  commSim_.reset();
  comm_.reset();
  if (MainForm == this)
    MainForm = nullptr;
}

std::unique_ptr<TMessageEndpoint> TMainForm::NewEndpoint() {
  const auto handler = [this](uint32_t m, uint32_t w, uint32_t l) { return Dispatch(m, w, l); };
  const auto onError = [](const std::string& text) { Log(llWarning, text); };
  return deps_.EndpointHandle != 0
             ? std::make_unique<TMessageEndpoint>(deps_.EndpointHandle, postTarget_, handler,
                                                  onError)
             : std::make_unique<TMessageEndpoint>(postTarget_, handler, onError);
}

void TMainForm::PublishHandle() {
  clientWindowMapping_ = handle_ != 0 ? PublishSharedValue(handle_, kClientWindowName) : 0;
  if (handle_ != 0 && clientWindowMapping_ == 0)
    LogFmt(llError, "共有メモリを使用できません。[%s]", kClientWindowName);
}

void TMainForm::CreateSessions() {
  simReceiver_ = std::make_unique<TNumberSimReceiver>();
  commSim_ = std::make_unique<TMirelKT5CommSim>(*simReceiver_);
  catchUp_ = std::make_unique<TMemoryCatchUp>(postTarget_);
  // The catch-up hears of the line's packets first, so that it pauses at once.
  const auto onGroup = [this](TMirelKT5CommBase& s, const IKT5GroupEventArgs& a) {
    if (a)
      catchUp_->LineEvent(a->PacketKind);
    OnSessionGroup(s, a);
  };
  commSim_->OnGroup = onGroup;
  comm_ = std::make_unique<TMirelKT5Comm>(postTarget_, deps_.DeviceFactory);
  comm_->OnGroup = onGroup;
  comm_->OnClosed = [this](TMirelKT5CommBase&, const IKT5ClosedEventArgs& a) {
    OnSessionClosed(a);
  };
  comm_->OnTrace = [this](TMirelKT5CommBase&, const IKT5TraceEventArgs& a) { OnSessionTrace(a); };
  // The port component catches what its handlers (the session's and through
  // it ours) throw and passes only the message on.
  comm_->Compo().OnError = [](TMirelKT5CommCompo&, const std::string& message) {
    LogException(llError, "MirelKT5通信のイベント処理でエラーが発生しました。", Exception(message));
  };
  CreateShare();
}

void TMainForm::ConnectTimers() {
  const auto setup = [this](QTimer& timer, const char* name, int interval,
                            void (TMainForm::*fn)()) {
    timer.setObjectName(name);
    timer.setInterval(interval);
    connect(&timer, &QTimer::timeout, this,
            [this, name, fn] { Guarded(name, [&] { (this->*fn)(); }); });
  };
  setup(debugCheckTimer_, "DebugCheckTimer", 500, &TMainForm::DebugCheckTimerTimer);
  setup(mirelCheckTimer_, "MirelCheckTimer", 2000, &TMainForm::MirelCheckTimerTimer);
  setup(balloonHelpHideTimer_, "BalloonHelpHideTimer", 10000,
        &TMainForm::BalloonHelpHideTimerTimer);
  setup(checkResetMirelTimeTimer_, "CheckResetMirelTimeTimer", 10000,
        &TMainForm::CheckResetMirelTimeTimerTimer);
  setup(usbDevCheckTimer_, "UsbDevCheckTimer", 3000, &TMainForm::UsbDevCheckTimerTimer);
  setup(pendingWritesTimer_, "PendingWritesTimer", 1000, &TMainForm::PendingWritesTimerTimer);
  setup(callPaintTimer_, "CallPaintTimer", 100, &TMainForm::CallPainted);
  setup(replayTimer_, "ReplayTimer", 0, &TMainForm::ReplayTimerTimer);
  setup(runtimeCheckTimer_, "RuntimeCheckTimer", 2000, &TMainForm::RuntimeCheckTimerTimer);
  checkResetMirelTimeTimer_.start();
  usbDevCheckTimer_.start();
  runtimeCheckTimer_.start();
}

void TMainForm::Post(std::function<void()> fn) {
  postTarget_->Post(std::move(fn));
}

void TMainForm::CMStartup() {
  started_ = true;
  AddSettingsListener(listenerHandle_, {postTarget_, [this] { CMSettingsChanged(); }});
  if (!PrepareFolder())
    return;
  if (!DatabaseFileExists()) {
    if (!CreateDatabaseFromTemplate()) {
      EndStartup("データベースファイルを作成できません。",
                 "データベースファイルを作成できませんでした。\r\nシステム起動に失敗しました。");
      return;
    }
    Log(llInfo, "データベースファイルを作成しました。");
  }
  if (!OpenDatabase())
    return;
  std::string version = "不明";
  try {
    if (const auto row = CtiDb->GetVersionInfo())
      version = fmt::sprintf("%s (%s)", row->GetValue("version_no"), row->GetValue("note"));
  } catch (const std::exception&) {
    version = "不明";
  }
  LogFmt(llInfo, "DB Version: %s", version);
  // The office book's edit hook is in place before anything writes.
  share_->Apply(AppSettings.Share);
  ReplayPendingWrites();
  scanner_ = std::make_unique<TMirelKT5Scanner>(
      deps_.ScannerPorts, deps_.DeviceFactory,
      [this](const std::string& port) { Post([this, port] { CMPortDenied(port); }); });
  simMode_ = false;
  ChooseMode();
  ShowStartupBalloon();
  deps_.Windows->PrepareCallWindows(AppSettings.IncomingDisplayMode != 1);
  ready_ = true;
}

// The folder that holds the database and the settings; TELORIA2_HOME may
// name one that cannot be made.
bool TMainForm::PrepareFolder() {
  const int error = PrepareProgramFolder();
  if (error == 0)
    return true;
  const std::string folder = ProgramFolder();
  const std::string cause = std::strerror(error);
  EndStartup(
      fmt::sprintf("プログラムフォルダを使用できません。Folder=[%s]\r\n[原因] %s", folder, cause),
      fmt::sprintf("プログラムフォルダを使用できませんでした。\r\n%s\r\n%s\r\n"
                   "システム起動に失敗しました。",
                   folder, cause));
  return false;
}

// A database file that cannot serve ends the program like a failed creation:
// running on, the program would record nothing and hold the single-instance
// lock, refusing every later start.
bool TMainForm::OpenDatabase() {
  std::string problem = DatabaseFileProblem();
  if (problem.empty()) {
    try {
      CreateCtiDb();
      return true;
    } catch (const std::exception& e) {
      problem = e.what();
    }
  }
  const std::string file = CtiDbFileName();
  EndStartup(
      fmt::sprintf("データベースファイルを開けません。File=[%s]\r\n[原因] %s", file, problem),
      fmt::sprintf("データベースファイルを開けませんでした。\r\n%s\r\n%s\r\n"
                   "システム起動に失敗しました。",
                   file, problem));
  return false;
}

// Start-up cannot go on: logged, shown until closed, and the program ends.
// While the error waits for the user, another start must become the new
// instance rather than end as "already running", and no verb may reach this
// one.
void TMainForm::EndStartup(const std::string& logText, const std::string& message) {
  Log(llFatal, logText);
  startupFailed_ = true;
  endpoint_.reset();
  CloseSharedValue(clientWindowMapping_);
  clientWindowMapping_ = 0;
  deps_.Instance.reset();
  if (deps_.ShowFatalError)
    deps_.ShowFatalError(message);
  deps_.Quit();
}

void TMainForm::ChooseMode() {
  const std::string& port = AppSettings.MirelKT5Port;
  share_->Apply(AppSettings.Share);
  if (SameText(port, "debug")) {
    SetTrayIconState(true);
    debugCheckTimer_.start();
    debugLastKey_ = ReadDebugFile().Key;
    Log(llInfo, "デバッグモード開始");
  } else if (share_->Receiving()) {
    EnterShareReceiveMode();
  } else if (SameText(port, "TEST")) {
    SetTrayIconState(true);
    simMode_ = true;
    Log(llInfo, "電話番号発信シミュレータモード開始");
    StartMemoryCatchUp();
  } else {
    SetTrayIconState(false);
    mirelCheckTimer_.setInterval(2000);
    mirelCheckTimer_.start();
    MirelCheckTimerTimer();
  }
}

void TMainForm::ShowStartupBalloon() {
  const bool arun = std::any_of(deps_.Arguments.begin(), deps_.Arguments.end(),
                                [](const std::string& a) { return SameText(a, "-arun"); });
  if (!arun) {
    try {
      deps_.Tray->ShowBalloon("Teloria II を起動しました。", MenuHintText(), TBalloonIcon::Info,
                              10000);
    } catch (const std::exception& e) {
      LogException(llWarning, "バルーンメッセージ", e);
      deps_.Tray->SetVisible(false);
      deps_.Tray->SetVisible(true);
    }
    balloonHelpHideTimer_.start();
  }
}

void TMainForm::CMAlreadyRunning() {
  ShowBalloon("Teloria II は既に起動しています。", MenuHintText(), TBalloonIcon::Info);
}

std::string TMainForm::MenuHintText() const {
  return deps_.Tray->TrayAvailable() ? kBalloonText : kNoTrayBalloonText;
}

void TMainForm::CMShutdown() {
  deps_.Quit();
}

void TMainForm::SetTrayIconState(bool connected) {
  deps_.Tray->SetImageIndex(connected ? 0 : 1);
  deps_.Tray->SetVisible(true);
  share_->SourceConnected(connected);
}

void TMainForm::ShowBalloon(const std::string& title, const std::string& text, TBalloonIcon icon) {
  deps_.Tray->ShowBalloon(title, text, icon, 10000);
  RestartBalloonHideTimer();
}

void TMainForm::RestartBalloonHideTimer() {
  balloonHelpHideTimer_.stop();
  balloonHelpHideTimer_.start();
}
