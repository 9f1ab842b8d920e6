#pragma once

#include "base/Exception.h"
#include "core/ITrayIcon.h"

#include <QIcon>
#include <QObject>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QMenu;
class TDesktopNotifier;

enum class TNotifyIconOperation { Add, Modify, Delete, Other };

// A failure of the notification area to take the icon or its balloon.
class ENotifyIconError : public Exception {
public:
  explicit ENotifyIconError(TNotifyIconOperation operation);
};

// What a balloon says; IconKind 1 information, 2 warning, 3 error, 4 the
// program's own icon, 5 the same large, anything else none.
struct TBalloon {
  std::string Title;
  std::string Text;
  int IconKind = 0;
  int TimeOut = 0;
};

// The program's icon in the notification area. Without a system tray
// (offscreen, tests, a desktop without a tray host) it keeps its state and
// remembers what it would show; balloons then go to the desktop's
// notification service, and when there is none either, one warning is
// logged. A tray that appears later shows the icon and the balloons.
class TTrayIcon : public QObject, public ITrayIcon {
  Q_OBJECT
public:
  TTrayIcon();
  ~TTrayIcon() override;

  // ITrayIcon
  void SetImageIndex(int index) override;
  int ImageIndex() const override { return imageIndex_; }
  void SetVisible(bool visible) override;
  bool Visible() const override { return visible_; }
  // Throws ENotifyIconError when the tray is there but cannot show it.
  void ShowBalloon(const std::string& title, const std::string& text, TBalloonIcon icon,
                   int timeoutMs) override;
  void HideBalloon() override;

  void SetIcon(const QIcon& icon);
  const QIcon& Icon() const { return icon_; }
  // Cut to 127 characters.
  void SetTipHelp(const std::string& tip) override;
  const std::string& TipHelp() const { return tipHelp_; }
  // Left and right button both open these menus (not owned).
  void SetLButtonPopupMenu(QMenu* menu) { lButtonPopupMenu_ = menu; }
  void SetRButtonPopupMenu(QMenu* menu);
  // Title cut to 63, text to 255 characters. False when the icon is not
  // registered or the tray shows no messages.
  bool ShowBalloon(const std::string& title, const std::string& text, int iconKind, int timeOut);
  // The balloon showing (or that would show without a tray); empty after HideBalloon.
  const TBalloon* Balloon() const { return balloon_ ? balloon_.get() : nullptr; }
  bool TrayAvailable() const override;

  std::function<void()> OnDblClick;
  int BalloonHelpTimeOut = 5000;

  // The two images: 0 connected, 1 not connected.
  static QIcon ImageOf(int index);

private:
  void Activated(QSystemTrayIcon::ActivationReason reason);
  void Register();
  void LogOnceWithoutTray();
  // Asked once: whether balloons can go to a notification service.
  bool NotificationsAvailable();

  QSystemTrayIcon* tray_; // a child, so tests can reach it
  TDesktopNotifier* notifier_;
  QIcon icon_;
  int imageIndex_ = -1;
  std::string tipHelp_;
  bool visible_ = false;
  bool toldWithoutTray_ = false;
  std::optional<bool> notificationsAvailable_;
  QMenu* lButtonPopupMenu_ = nullptr;
  QMenu* rButtonPopupMenu_ = nullptr;
  std::unique_ptr<TBalloon> balloon_;
};
