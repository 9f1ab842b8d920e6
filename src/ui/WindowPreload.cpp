#include "ui/WindowPreload.h"

#include <QImage>
#include <QPainter>
#include <QWidget>
#include <QWindow>

void PreloadWindow(QWidget& window, const QString& texts) {
  (void)window.winId();
  // The display's cursor is otherwise loaded, theme files and all, at the
  // first showing.
  window.windowHandle()->setCursor(window.cursor());
  // Opaque like the window's own buffer, so that glyphs are cached in the
  // form its paints use.
  QImage scratch(window.size(), QImage::Format_RGB32);
  window.render(&scratch);
  QPainter painter(&scratch);
  QList<QFont> fonts{window.font()};
  for (const QWidget* widget : window.findChildren<QWidget*>())
    if (!fonts.contains(widget->font()))
      fonts.append(widget->font());
  for (const QFont& font : fonts) {
    painter.setFont(font);
    painter.drawText(scratch.rect(), texts);
  }
}
