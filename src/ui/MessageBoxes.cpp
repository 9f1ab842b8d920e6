#include "ui/MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

namespace {

IMessageBoxes* injected = nullptr;

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
  QMessageBox box(QMessageBox::Question, "確認", QString::fromStdString(text));
  QPushButton* yes = box.addButton("はい(&Y)", QMessageBox::YesRole);
  box.addButton("いいえ(&N)", QMessageBox::NoRole);
  RunBox(box);
  return box.clickedButton() == yes;
}

void ShowErrorMessage(const std::string& text) {
  if (injected != nullptr)
    return injected->ShowErrorMessage(text);
  ShowOkBox(QMessageBox::Critical, "エラー", text);
}

void ShowInfoMessage(const std::string& text) {
  if (injected != nullptr)
    return injected->ShowInfoMessage(text);
  ShowOkBox(QMessageBox::Information, "情報", text);
}
