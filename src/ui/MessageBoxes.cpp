#include "ui/MessageBoxes.h"

#include "settings/Logging.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <fmt/printf.h>

namespace {

IMessageBoxes* injected = nullptr;

// Offscreen, or run without a GUI at all: a box would wait for a click that
// can never come.
bool ScreenAvailable() {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
    return false;
  const QString platform = QGuiApplication::platformName();
  return platform != "offscreen" && platform != "minimal";
}

// Without a screen every box becomes a log line, with the box's own line
// breaks (values filled into a line lose theirs).
void LogBox(TLogLevel level, const char* title, const std::string& text) {
  Log(level, fmt::sprintf("[%s] %s", title, text));
}

// Modal, centred on the screen, with the icon of its kind.
int RunBox(QMessageBox& box) {
  box.adjustSize();
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    box.move(screen->availableGeometry().center() - box.rect().center());
  box.exec();
  return 0;
}

void ShowOkBox(QMessageBox::Icon icon, const char* title, const std::string& text) {
  QMessageBox box(icon, QString::fromUtf8(title), QString::fromStdString(text));
  box.addButton("OK", QMessageBox::AcceptRole);
  RunBox(box);
}

} // namespace

void SetMessageBoxes(IMessageBoxes* boxes) {
  injected = boxes;
}

bool ConfirmYesNo(const std::string& text) {
  if (injected != nullptr)
    return injected->ConfirmYesNo(text);
  if (!ScreenAvailable()) {
    LogBox(llWarning, "確認", text + "\r\n画面がないため「いいえ」とします。");
    return false;
  }
  QMessageBox box(QMessageBox::Question, "確認", QString::fromStdString(text));
  QPushButton* yes = box.addButton("はい(&Y)", QMessageBox::YesRole);
  box.addButton("いいえ(&N)", QMessageBox::NoRole);
  RunBox(box);
  return box.clickedButton() == yes;
}

void ShowErrorMessage(const std::string& text) {
  if (injected != nullptr)
    return injected->ShowErrorMessage(text);
  if (!ScreenAvailable())
    return LogBox(llError, "エラー", text);
  ShowOkBox(QMessageBox::Critical, "エラー", text);
}

void ShowInfoMessage(const std::string& text) {
  if (injected != nullptr)
    return injected->ShowInfoMessage(text);
  if (!ScreenAvailable())
    return LogBox(llInfo, "情報", text);
  ShowOkBox(QMessageBox::Information, "情報", text);
}
