#include "ui/DesktopNotifier.h"

#include "settings/Logging.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {

const char* const kService = "org.freedesktop.Notifications";
const char* const kPath = "/org/freedesktop/Notifications";
const char* const kInterface = "org.freedesktop.Notifications";

QString IconName(int iconKind) {
  switch (iconKind) {
  case 1:
    return "dialog-information";
  case 2:
    return "dialog-warning";
  case 3:
    return "dialog-error";
  default:
    return TELORIA_APP_ID;
  }
}

QDBusMessage Call(const char* method) {
  return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

} // namespace

// A balloon's text as written keeps blank lines and margins that Windows'
// balloon frame needed; a notification, and Qt's own tray balloon, have
// margins of their own.
QString NotificationBody(const std::string& text) {
  QStringList lines = QString::fromStdString(text).replace("\r\n", "\n").split('\n');
  for (QString& line : lines)
    line = line.trimmed();
  return lines.join('\n').trimmed();
}

TDesktopNotifier::TDesktopNotifier(QObject* parent) : QObject(parent) {}

bool TDesktopNotifier::Available() const {
  const QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected() || bus.interface() == nullptr)
    return false;
  return bus.interface()->isServiceRegistered(kService).value() ||
         bus.interface()->activatableServiceNames().value().contains(kService);
}

void TDesktopNotifier::Notify(const std::string& title, const std::string& text, int iconKind,
                              int timeoutMs) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected())
    return;
  QVariantMap hints;
  hints.insert("desktop-entry", QString(TELORIA_APP_ID));
  hints.insert("urgency", QVariant::fromValue<uchar>(iconKind == 3 ? 2 : 1));
  QDBusMessage message = Call("Notify");
  message << QString("Teloria II") << lastId_ << IconName(iconKind) << QString::fromStdString(title)
          << NotificationBody(text) << QStringList() << hints << static_cast<int>(timeoutMs);
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
    const QDBusPendingReply<uint> reply = *w;
    if (reply.isError())
      Failed(reply.error().message());
    else
      Sent(reply.value());
    w->deleteLater();
  });
}

void TDesktopNotifier::Close() {
  if (lastId_ == 0)
    return;
  QDBusMessage message = Call("CloseNotification");
  message << lastId_;
  QDBusConnection::sessionBus().asyncCall(message);
  lastId_ = 0;
}

void TDesktopNotifier::Failed(const QString& error) {
  if (failureLogged_)
    return;
  failureLogged_ = true;
  LogFmt(llWarning, "デスクトップ通知を表示できません。[%s]", error.toStdString());
}
