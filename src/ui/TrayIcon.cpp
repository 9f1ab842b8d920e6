#include "ui/TrayIcon.h"

#include "settings/Logging.h"
#include "ui/DesktopNotifier.h"
#include "ui/EventGuard.h"
#include "ui/PhonePicture.h"
#include "ui/PlatformAbilities.h"

#include <QCursor>
#include <QMenu>

namespace {

const char* OperationMessage(TNotifyIconOperation operation) {
  switch (operation) {
  case TNotifyIconOperation::Add:
    return "タスクトレイにアイコンを登録できません。";
  case TNotifyIconOperation::Modify:
    return "タスクトレイのアイコンを変更できません。";
  case TNotifyIconOperation::Delete:
    return "タスクトレイのアイコンを削除できません。";
  default:
    return "タスクトレイアイコン処理エラー";
  }
}

// Cut to `limit` characters without splitting one.
std::string CutChars(const std::string& text, int limit) {
  const QList<uint> chars = QString::fromStdString(text).toUcs4();
  if (chars.size() <= limit)
    return text;
  return QString::fromUcs4(reinterpret_cast<const char32_t*>(chars.constData()), limit)
      .toStdString();
}

int BalloonIconKind(TBalloonIcon icon) {
  switch (icon) {
  case TBalloonIcon::Info:
    return 1;
  case TBalloonIcon::Warning:
    return 2;
  case TBalloonIcon::Error:
    return 3;
  case TBalloonIcon::User:
    return 4;
  default:
    return 0;
  }
}

QSystemTrayIcon::MessageIcon StandardIcon(int iconKind) {
  switch (iconKind) {
  case 1:
    return QSystemTrayIcon::Information;
  case 2:
    return QSystemTrayIcon::Warning;
  case 3:
    return QSystemTrayIcon::Critical;
  default:
    return QSystemTrayIcon::NoIcon;
  }
}

} // namespace

ENotifyIconError::ENotifyIconError(TNotifyIconOperation operation)
    : Exception(OperationMessage(operation)) {}

TTrayIcon::TTrayIcon() : tray_(new QSystemTrayIcon(this)), notifier_(new TDesktopNotifier(this)) {
  setObjectName("TrayIcon1");
  connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
    GuardEvent("タスクトレイアイコン処理エラー", [&] { Activated(r); });
  });
}

TTrayIcon::~TTrayIcon() {
  tray_->hide();
}

QIcon TTrayIcon::ImageOf(int index) {
  QIcon icon;
  for (const int size : {16, 22, 24, 32, 48})
    icon.addPixmap(PhonePicture(size, index == 0));
  return icon;
}

bool TTrayIcon::TrayAvailable() const {
  return QSystemTrayIcon::isSystemTrayAvailable();
}

bool TTrayIcon::NotificationsAvailable() {
  if (!notificationsAvailable_)
    notificationsAvailable_ = notifier_->Available();
  return *notificationsAvailable_;
}

void TTrayIcon::LogOnceWithoutTray() {
  if (toldWithoutTray_ || TrayAvailable())
    return;
  toldWithoutTray_ = true;
  if (NotificationsAvailable())
    Log(llInfo, "タスクトレイがないため、バルーンメッセージはデスクトップ通知で表示します。");
  else
    Log(llWarning, "タスクトレイがないため、アイコンとバルーンメッセージは表示されません。");
}

void TTrayIcon::Register() {
  if (visible_)
    LogOnceWithoutTray();
  tray_->setIcon(icon_);
  tray_->setToolTip(QString::fromStdString(tipHelp_));
  // Qt shows the icon as soon as a tray host appears, so it is asked even
  // when none is there yet, where Qt can watch for one.
  if (!visible_ || TrayAvailable() || PlatformWatchesForATray())
    tray_->setVisible(visible_);
}

void TTrayIcon::SetImageIndex(int index) {
  imageIndex_ = index;
  SetIcon(ImageOf(index));
}

void TTrayIcon::SetIcon(const QIcon& icon) {
  icon_ = icon;
  tray_->setIcon(icon_);
}

void TTrayIcon::SetTipHelp(const std::string& tip) {
  tipHelp_ = CutChars(tip, 127);
  tray_->setToolTip(QString::fromStdString(tipHelp_));
}

void TTrayIcon::SetVisible(bool visible) {
  visible_ = visible;
  if (!visible)
    balloon_.reset();
  Register();
}

void TTrayIcon::SetRButtonPopupMenu(QMenu* menu) {
  rButtonPopupMenu_ = menu;
  tray_->setContextMenu(menu);
}

bool TTrayIcon::ShowBalloon(const std::string& title, const std::string& text, int iconKind,
                            int timeOut) {
  if (!visible_ || (TrayAvailable() && !QSystemTrayIcon::supportsMessages()))
    return false;
  HideBalloon();
  balloon_ = std::make_unique<TBalloon>(
      TBalloon{CutChars(title, 63), CutChars(text, 255), iconKind, timeOut});
  if (!TrayAvailable()) {
    if (NotificationsAvailable())
      notifier_->Notify(balloon_->Title, balloon_->Text, iconKind, timeOut);
    return true;
  }
  const QString qtTitle = QString::fromStdString(balloon_->Title);
  // The tray's balloon has margins of its own, as a notification has.
  const QString qtText = NotificationBody(balloon_->Text);
  if (iconKind == 4 || iconKind == 5)
    tray_->showMessage(qtTitle, qtText, icon_, timeOut);
  else
    tray_->showMessage(qtTitle, qtText, StandardIcon(iconKind), timeOut);
  return true;
}

void TTrayIcon::ShowBalloon(const std::string& title, const std::string& text, TBalloonIcon icon,
                            int timeoutMs) {
  if (!ShowBalloon(title, text, BalloonIconKind(icon), timeoutMs) && visible_)
    throw ENotifyIconError(TNotifyIconOperation::Modify);
}

void TTrayIcon::HideBalloon() {
  // Qt offers no way to withdraw a tray message, and an empty one would show
  // as an empty notification on some desktops: the tray's own time-out
  // removes it. A desktop notification is withdrawn.
  balloon_.reset();
  notifier_->Close();
}

void TTrayIcon::Activated(QSystemTrayIcon::ActivationReason reason) {
  switch (reason) {
  case QSystemTrayIcon::Trigger:
    if (lButtonPopupMenu_ != nullptr)
      lButtonPopupMenu_->popup(QCursor::pos());
    break;
  case QSystemTrayIcon::Context:
    // A tray that does not open the context menu itself reports the press.
    if (rButtonPopupMenu_ != nullptr && !rButtonPopupMenu_->isVisible())
      rButtonPopupMenu_->popup(QCursor::pos());
    break;
  case QSystemTrayIcon::DoubleClick:
    if (OnDblClick)
      OnDblClick();
    break;
  default:
    break;
  }
}
