#include "ui/TrayMenu.h"

#include "core/MainForm.h"
#include "ui/EventGuard.h"
#include "ui/Fonts.h"
#include "ui/TrayIcon.h"

namespace {

struct TMenuItem {
  const char* Name;
  const char* Caption; // "-": a separator
  TMainFormHandler Handler;
};

const TMenuItem kItems[] = {
    {"RMenuItemMirelMemory", "Mirelメモリ(&M)", &TMainForm::RMenuItemMirelMemoryClick},
    {"RMenuItemPhoneList", "登録一覧(&C)", &TMainForm::RMenuItemPhoneListClick},
    {"RMenuItemIncomingHistory", "着信履歴(&H)", &TMainForm::RMenuItemIncomingHistoryClick},
    {"RMenuItemNewEdit", "新規編集(&N)", &TMainForm::RMenuItemNewEditClick},
    {"N3", "-", nullptr},
    {"RMenuItemSetting", "設定(&O)", &TMainForm::RMenuItemSettingClick},
    {"N1", "-", nullptr},
    {"RMenuItemAbout", "Teloria II について(&A)", &TMainForm::RMenuItemAboutClick},
    {"RMenuExitItem", "終了(&X)", &TMainForm::RMenuExitItemClick},
};

} // namespace

void InvokeMainForm(TMainFormHandler handler) {
  if (MainForm == nullptr)
    return;
  GuardEvent("メニュー処理でエラーが発生しました。", [handler] { (MainForm->*handler)(); });
}

TTrayMenu::TTrayMenu(TMainFormInvoker invoke) {
  setObjectName("PopupMenu1");
  setFont(ProportionalGothic(9));
  for (const TMenuItem& item : kItems) {
    QAction* action = nullptr;
    if (item.Handler == nullptr) {
      action = addSeparator();
    } else {
      action = addAction(QString::fromUtf8(item.Caption));
      const TMainFormHandler handler = item.Handler;
      connect(action, &QAction::triggered, this, [invoke, handler] { invoke(handler); });
    }
    action->setObjectName(item.Name);
  }
}

void AttachTrayMenu(TTrayIcon& tray, TTrayMenu& menu, TMainFormInvoker invoke) {
  tray.SetTipHelp("Teloria II");
  tray.SetLButtonPopupMenu(&menu);
  tray.SetRButtonPopupMenu(&menu);
  tray.OnDblClick = [invoke] { invoke(&TMainForm::TrayIcon1DblClick); };
}
