#pragma once

#include <QObject>
#include <QString>
#include <string>

// A balloon's text as a notification's body: line breaks as "\n", every line
// without its margins, no blank lines at either end.
QString NotificationBody(const std::string& text);

// Balloons as desktop notifications, for desktops without a tray: the
// freedesktop notification service (org.freedesktop.Notifications) on the
// session bus. No call waits for the service; a failed notification is logged
// once per run.
class TDesktopNotifier : public QObject {
  Q_OBJECT
public:
  explicit TDesktopNotifier(QObject* parent = nullptr);

  // A notification service runs on the session bus or the bus can start one.
  bool Available() const;
  // Sends a notification that replaces the one sent last unless that was
  // withdrawn. IconKind as a
  // balloon's (1 information, 2 warning, 3 error, else the program's icon).
  // Nothing is sent without a session bus.
  void Notify(const std::string& title, const std::string& text, int iconKind, int timeoutMs);
  // Withdraws the notification sent last, if it still shows.
  void Close();

private:
  void Sent(uint id) { lastId_ = id; }
  void Failed(const QString& error);

  uint lastId_ = 0;
  bool failureLogged_ = false;
};
