#include "ui/WindowFront.h"

#include <QWidget>

void BringForward(QWidget& window) {
  window.show();
  if (window.isMinimized())
    window.showNormal();
  window.raise();
  window.activateWindow();
}

void MakeOwnWindow(QWidget& window) {
  window.setWindowFlags(Qt::Window);
}
