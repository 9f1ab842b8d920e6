#include "core/MainForm.h"

#include "core/CommandLine.h"
#include "core/DebugFile.h"
#include "core/Messages.h"
#include "core/MirelKT5CommSim.h"
#include "core/NumberSimReceiver.h"
#include "data/KsoCtiDb.h"
#include "data/NumberRules.h"
#include "settings/AppSettings.h"
#include "settings/Logging.h"
#include "settings/SettingsListeners.h"

#include <fmt/printf.h>

void TMainForm::RMenuItemMirelMemoryClick() {
  deps_.Windows->ShowDeviceMemory();
}
void TMainForm::RMenuItemPhoneListClick() {
  deps_.Windows->ShowPhoneList();
}
void TMainForm::RMenuItemIncomingHistoryClick() {
  deps_.Windows->ShowIncomingList();
}
void TMainForm::RMenuItemNewEditClick() {
  deps_.Windows->OpenNumberEdit(nullptr);
}
void TMainForm::RMenuItemSettingClick() {
  deps_.Windows->ShowSettings();
}
void TMainForm::RMenuItemAboutClick() {
  deps_.Windows->ShowAbout();
}
void TMainForm::RMenuExitItemClick() {
  deps_.Quit();
}
void TMainForm::TrayIcon1DblClick() {
  deps_.Windows->ShowSettings();
}

void TMainForm::BalloonHelpHideTimerTimer() {
  balloonHelpHideTimer_.stop();
  deps_.Tray->HideBalloon();
}

void TMainForm::DebugCheckTimerTimer() {
  const TDebugLine line = ReadDebugFile();
  if (line.Key.empty() || line.Number.empty() || line.Key == debugLastKey_)
    return;
  debugLastKey_ = line.Key;
  LogFmt(llInfo, "電話着信（デバッグモード） [%s]", line.Number);
  PostIncoming(line.Number);
}

uint32_t TMainForm::CMSimQuery() {
  if (!ready_)
    return SimResultNotReady;
  return simMode_ ? SimResultOk : SimResultNotSimMode;
}

uint32_t TMainForm::CMSimCall() {
  if (!simMode_) {
    Log(llDebug, "擬似発信データを無視しました。");
    return SimResultNotSimMode;
  }
  Log(llDebug, "電話番号発信シミュレータから受信しました。");
  IKT5GroupEventArgs event;
  if (!simReceiver_->ReadGroupEvent(event)) {
    LogFmt(llError, "擬似発信データを取得できません。[詳細] %s", simReceiver_->LastError());
    return SimResultReadFailed;
  }
  commSim_->InjectGroupEvent(event);
  return SimResultOk;
}

namespace {

// The tray command that opens a window (the number display has none).
using TMenuHandler = void (TMainForm::*)();
TMenuHandler MenuHandlerOf(TProgramWindow window) {
  switch (window) {
  case TProgramWindow::MirelMemory:
    return &TMainForm::RMenuItemMirelMemoryClick;
  case TProgramWindow::PhoneList:
    return &TMainForm::RMenuItemPhoneListClick;
  case TProgramWindow::IncomingHistory:
    return &TMainForm::RMenuItemIncomingHistoryClick;
  case TProgramWindow::NewEntry:
    return &TMainForm::RMenuItemNewEditClick;
  case TProgramWindow::Settings:
    return &TMainForm::RMenuItemSettingClick;
  case TProgramWindow::About:
    return &TMainForm::RMenuItemAboutClick;
  default:
    return nullptr;
  }
}

} // namespace

uint32_t TMainForm::CMShowWindow(uint32_t window, bool notify) {
  if (!ready_)
    return CommandResultNotDone;
  const auto kind = static_cast<TProgramWindow>(window);
  if (!deps_.Windows->HasScreen()) {
    LogFmt(llWarning, "画面がないため、コマンドラインの指示の画面を開けません。[%s]",
           WindowWord(kind));
    return CommandResultNoScreen;
  }
  if (kind == TProgramWindow::NumberDisplay) {
    if (!ShowLastCall()) {
      if (notify)
        ShowBalloon("Teloria II: 着信電話情報の表示", "表示する着信がありません。",
                    TBalloonIcon::Info);
      return CommandResultNoCall;
    }
  } else if (const TMenuHandler handler = MenuHandlerOf(kind)) {
    (this->*handler)();
  } else {
    return CommandResultNotDone;
  }
  LogFmt(llInfo, "コマンドラインの指示で画面を開きました。[%s]", WindowWord(kind));
  return CommandResultDone;
}

// The number display with the newest call of the history, as far as the
// database knows it: the book's last call date is this very call, so no
// earlier call is shown.
bool TMainForm::ShowLastCall() {
  const auto calls = CtiDb ? CtiDb->GetIncomingList(1) : nullptr;
  if (!calls || calls->Count() == 0)
    return false;
  const TTableRow& call = calls->Items(0);
  const std::string number = call.GetValue("phone_number");
  const bool valid = IsValidNumber(number);
  std::unique_ptr<TTableRow> row = valid ? CtiDb->FindPhoneNumber(number) : nullptr;
  if (!row) {
    row = std::make_unique<TTableRow>();
    row->SetValue("phone_number", number);
  }
  row->SetValue("last_incoming_date", "");
  row->SetValue("_IncomingDate", call.GetValue("incoming_date"));
  row->SetValue("_IsValidNumber", valid ? "1" : "0");
  deps_.Windows->ShowNumberDisplay(*row);
  return true;
}

uint32_t TMainForm::CMExitProgram() {
  Log(llInfo, "コマンドラインの指示で終了します。");
  RMenuExitItemClick();
  return CommandResultDone;
}

uint32_t TMainForm::Dispatch(uint32_t message, uint32_t wParam, uint32_t lParam) {
  try {
    switch (message) {
    case ::CMAlreadyRunning:
      CMAlreadyRunning();
      return 0;
    case ::CMShutdown:
      CMShutdown();
      return 0;
    case ::CMSimQuery:
      return CMSimQuery();
    case ::CMSimCall:
      return CMSimCall();
    case ::CMSettingsChanged:
      // Another program of this user saved teloria2.ini: every window
      // re-reads it as after the settings window saved it.
      AppSettings.Load();
      NotifySettingsChanged();
      return 0;
    case ::CMShowWindow:
      return CMShowWindow(wParam, lParam == 1);
    case ::CMExitProgram:
      return CMExitProgram();
    default:
      LogFmt(llWarning, "不明なメッセージを受信しました。(0x%X)", message);
      return 0;
    }
  } catch (const std::exception& e) {
    LogException(llError, fmt::sprintf("メッセージ処理でエラーが発生しました。(0x%X)", message), e);
    return 0;
  }
}
