#pragma once

#include <string>

enum class TBalloonIcon { None, Info, Warning, Error, User };

// What the controller needs of the notification-area icon; the widget layer
// implements it, tests record the calls.
class ITrayIcon {
public:
  virtual ~ITrayIcon() = default;
  // 0 = connected, 1 = not connected.
  virtual void SetImageIndex(int index) = 0;
  virtual int ImageIndex() const = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual bool Visible() const = 0;
  // Throws when the balloon cannot be shown.
  virtual void ShowBalloon(const std::string& title, const std::string& text, TBalloonIcon icon,
                           int timeoutMs) = 0;
  virtual void HideBalloon() = 0;
  // The tooltip; a tray without one ignores it.
  virtual void SetTipHelp(const std::string& tip) { (void)tip; }
  // The desktop shows a tray, and in it the icon and its menu.
  virtual bool TrayAvailable() const { return true; }
};
