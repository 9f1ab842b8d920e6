#include "core/MainForm.h"

#include "core/DebugFile.h"
#include "core/Messages.h"
#include "core/MirelKT5CommSim.h"
#include "core/NumberSimReceiver.h"
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
  BalloonHelpHideTimer.stop();
  deps_.Tray->HideBalloon();
}

void TMainForm::DebugCheckTimerTimer() {
  const TDebugLine line = ReadDebugFile();
  if (line.Key.empty() || line.Number.empty() || line.Key == DebugLastKey)
    return;
  DebugLastKey = line.Key;
  LogFmt(llInfo, "電話着信（デバッグモード） [%s]", line.Number);
  PostIncoming(line.Number);
}

uint32_t TMainForm::CMSimQuery() {
  if (!Ready)
    return SimResultNotReady;
  return SimMode ? SimResultOk : SimResultNotSimMode;
}

uint32_t TMainForm::CMSimCall() {
  if (!SimMode) {
    Log(llDebug, "擬似発信データを無視しました。");
    return SimResultNotSimMode;
  }
  Log(llDebug, "電話番号発信シミュレータから受信しました。");
  IKT5GroupEventArgs event;
  if (!SimReceiver->ReadGroupEvent(event)) {
    LogFmt(llError, "擬似発信データを取得できません。[詳細] %s", SimReceiver->LastError());
    return SimResultReadFailed;
  }
  CommSim->InjectGroupEvent(event);
  return SimResultOk;
}

uint32_t TMainForm::Dispatch(uint32_t message, uint32_t /*wParam*/, uint32_t /*lParam*/) {
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
    default:
      LogFmt(llWarning, "不明なメッセージを受信しました。(0x%X)", message);
      return 0;
    }
  } catch (const std::exception& e) {
    LogException(llError, fmt::sprintf("メッセージ処理でエラーが発生しました。(0x%X)", message), e);
    return 0;
  }
}
