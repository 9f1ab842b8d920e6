#include "core/MainForm.h"

#include "base/Clock.h"
#include "base/Text.h"
#include "common2/MirelKT5Comm.h"
#include "core/CallShare.h"
#include "core/LastIncomingInfo.h"
#include "core/MirelKT5CommSim.h"
#include "platform/DeviceGroup.h"
#include "settings/AppSettings.h"
#include "settings/Logging.h"

#include <QCoreApplication>
#include <fmt/printf.h>

namespace {

// The same message to the port-scan log and the main log.
void LogBoth(TLogLevel level, const std::string& text) {
  ScanLog(text);
  Log(level, text);
}

} // namespace

void TMainForm::MirelCheckTimerTimer() {
  // A search while connected would probe the ports again and fail on the
  // adapter's own, every tick.
  if (comm_ && comm_->IsOpen()) {
    mirelCheckTimer_.stop();
    return;
  }
  if (!scanner_)
    return;
  targetPort_ = AppSettings.MirelKT5Port;
  const std::string target = targetPort_;
  const bool started = scanner_->StartSearch(target, [this, target](const std::string& found) {
    // The setting the search started with: the live one may change meanwhile.
    ScanLogFmt("接続ポート探索終了: TargetPort=[%s], FoundPort=[%s]", target, found);
    OnPortFound(target, found);
  });
  if (started) {
    ScanLogFmt("接続ポート探索開始: TargetPort=[%s]", target);
    mirelCheckTimer_.stop();
  } else {
    ScanLog("既に接続ポート探索開始しています。");
  }
}

// Scanner thread: the result is handed to the main thread.
void TMainForm::OnPortFound(const std::string& targetPort, const std::string& foundPortName) {
  Post([this, targetPort, foundPortName] {
    if (SearchOutdated(targetPort)) {
      ScanLogFmt("ポート設定が変更されたため探索結果を破棄します。TargetPort=[%s], FoundPort=[%s]",
                 targetPort, foundPortName);
      StartSearchAgain();
      return;
    }
    CMPortSearchDone(targetPort, foundPortName);
  });
}

// The port setting changed while the search ran: its result would connect
// to a port the user no longer wants (or give up on the one now set).
bool TMainForm::SearchOutdated(const std::string& targetPort) const {
  return !AppClosing && !simMode_ && targetPort != AppSettings.MirelKT5Port;
}

void TMainForm::CMPortSearchDone(const std::string& targetPort, const std::string& foundPort) {
  if (AppClosing)
    return;
  if (simMode_) {
    Log(llDebug, "電話番号発信シミュレータモード中のため接続処理しません。");
    return;
  }
  if (share_->Receiving())
    return;
  if (foundPort.empty()) {
    mirelCheckTimer_.start();
    return;
  }
  // The setting the connection is for, which a saved setting is compared with.
  targetPort_ = targetPort;
  try {
    LogBoth(llInfo, fmt::sprintf("MirelUSB/RX2に接続します。Port=[%s]", foundPort));
    comm_->Close(false);
    comm_->PortName = foundPort;
    comm_->Open();
    LogBoth(llInfo, fmt::sprintf("MirelUSB/RX2に接続しました。Port=[%s]", foundPort));
    // A start refused while this search ran left the timer on.
    mirelCheckTimer_.stop();
    SetTrayIconState(true);
    StartMemoryCatchUp();
  } catch (const std::exception& e) {
    LogBoth(llError, fmt::sprintf("MirelUSB/RX2に接続できません。Port=[%s]\r\n[例外] %s", foundPort,
                                  e.what()));
    mirelCheckTimer_.start();
  }
}

void TMainForm::Reconnect() {
  if (simMode_ || share_->Receiving())
    return;
  LogFmt(llInfo, "Mirelに再接続します。Port=[%s]", AppSettings.MirelKT5Port);
  comm_->Close(false);
  SetTrayIconState(false);
  StartSearchAgain();
}

void TMainForm::StartSearchAgain() {
  mirelCheckTimer_.start();
  MirelCheckTimerTimer();
}

void TMainForm::OnSessionClosed(const IKT5ClosedEventArgs& args) {
  if (!args || !args->Forced)
    return;
  Log(llDebug, "MirelKT5通信が強制終了されました。");
  Post([this] { CMReconnect(); });
}

void TMainForm::OnSessionTrace(const IKT5TraceEventArgs& args) {
  if (args)
    LogFmt(llDebug, "[Mirel.Trace] %s (%s)", args->Message, args->ExceptionMessage);
}

void TMainForm::UsbDevCheckTimerTimer() {
  if (simMode_ || !comm_->IsOpen() || comm_->Compo().CheckModemStatus())
    return;
  Log(llDebug, "COMデバイスエラー");
  comm_->Close(false);
  Post([this] { CMReconnect(); });
}

void TMainForm::CheckResetMirelTimeTimerTimer() {
  if (!AppSettings.SetAutoDateTime)
    return;
  const TDateTime now = Now();
  const TDateParts n = DecodeDateTime(now);
  int hour = -1;
  int minute = -1;
  if (!TryParseInt32(AppSettings.ExecHour, hour))
    hour = -1;
  if (!TryParseInt32(AppSettings.ExecMinute, minute))
    minute = -1;
  if (hour != n.Hour || minute != n.Minute)
    return;
  const TDateParts last = DecodeDateTime(lastClockSetAt_);
  if (last.Year == n.Year && last.Month == n.Month && last.Day == n.Day && last.Hour == hour &&
      last.Minute == minute)
    return;
  try {
    lastClockSetAt_ = EncodeDateTime({n.Year, n.Month, n.Day, hour, minute, 0, 0});
    if (!simMode_ && comm_->IsOpen())
      comm_->SetDateTime(now);
  } catch (const std::exception&) {
    // A failed clock setting is not retried today and not logged.
  }
}

void TMainForm::CMSettingsChanged() {
  deps_.Windows->PrepareCallWindows(AppSettings.IncomingDisplayMode != 1);
  if (ApplyShareSettings())
    return;
  const bool test = SameText(AppSettings.MirelKT5Port, "TEST");
  if (comm_->IsOpen()) {
    if (test) {
      comm_->Close(false);
      EnterSimMode();
    } else if (AppSettings.MirelKT5Port != targetPort_) {
      comm_->Close(false);
      SetTrayIconState(false);
      StartSearchAgain();
    }
  } else if (test) {
    if (!simMode_)
      EnterSimMode();
  } else if (simMode_) {
    simMode_ = false;
    Log(llInfo, "電話番号発信シミュレータモード終了");
    SetTrayIconState(false);
    StartSearchAgain();
  }
}

void TMainForm::EnterSimMode() {
  SetTrayIconState(true);
  mirelCheckTimer_.stop();
  simMode_ = true;
  Log(llInfo, "電話番号発信シミュレータモード開始");
  StartMemoryCatchUp();
}

void TMainForm::CMPortDenied(const std::string& port) {
  if (!deniedPorts_.insert(port).second)
    return;
  // A group is named only when joining it would let the user open the port.
  const std::string group = GroupToJoinFor(port);
  if (group.empty())
    LogFmt(llWarning, "ポート [%s] を開く権限がありません。", port);
  else
    LogFmt(llWarning,
           "ポート [%s] を開く権限がありません。このポートを使うにはグループ [%s] "
           "に属している必要があります。(sudo usermod -aG %s ユーザー名 "
           "の後、ログインし直してください)",
           port, group, group);
  if (deniedPorts_.size() != 1)
    return;
  const std::string advice =
      group.empty() ? std::string("デバイスのアクセス権を確認してください。")
                    : fmt::sprintf("グループ %s に参加して、ログインし直してください。", group);
  ShowBalloon("Teloria II: ポートを開けません",
              fmt::sprintf("\r\n  %s を開く権限がありません。\r\n  %s  \r\n", port, advice),
              TBalloonIcon::Warning);
}

void TMainForm::HandleReadBeforeClosing() {
  if (!comm_ || !comm_->IsOpen())
    return;
  comm_->Close(true);
  // A packet's group event posts the call, whose handling may post its hook
  // events: a few rounds run them all. Only the controller's own: a window's
  // (a memory read failing as the port closes) could open a box that waits
  // for the user with the program already ending.
  for (int round = 0; round < 4; ++round)
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

std::string TMainForm::GetConnectedPort() const {
  return comm_ && comm_->IsOpen() ? comm_->PortName : std::string();
}

bool TMainForm::SetDeviceClock(TDateTime now) {
  if (simMode_ || !comm_->IsOpen())
    return false;
  comm_->SetDateTime(now);
  return true;
}

TMirelKT5CommBase& TMainForm::MemorySession() {
  if (simMode_)
    return *commSim_;
  return *comm_;
}
