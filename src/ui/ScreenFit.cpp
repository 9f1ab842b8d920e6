#include "ui/ScreenFit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace {

// The start of a span of `length` inside [low, low + room), as near to
// `start` as it can be; the low end wins when the span is longer.
int Clamped(int start, int length, int low, int room) {
  return std::max(low, std::min(start, low + room - length));
}

} // namespace

void KeepOnScreen(QWidget& window) {
  if (!window.isWindow() || !window.isVisible())
    return;
  const QRect frame = window.frameGeometry();
  QScreen* screen = QGuiApplication::screenAt(frame.center());
  if (screen == nullptr)
    screen = window.screen();
  if (screen == nullptr)
    return;
  const QRect area = screen->availableGeometry();
  const QPoint fitted(Clamped(frame.left(), frame.width(), area.left(), area.width()),
                      Clamped(frame.top(), frame.height(), area.top(), area.height()));
  if (fitted != frame.topLeft())
    window.move(fitted);
}
