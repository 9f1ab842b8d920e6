#include "ui/PhonePicture.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace {

void DrawHandset(QPainter& painter, double s) {
  const QRectF arc(s * 0.2, s * 0.24, s * 0.6, s * 0.6);
  QPen pen(Qt::white, s * 0.13, Qt::SolidLine, Qt::RoundCap);
  painter.setPen(pen);
  painter.drawArc(arc, -20 * 16, 220 * 16);
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::white);
  for (const double degrees : {-20.0, 200.0}) {
    const double radians = degrees * M_PI / 180.0;
    const QPointF end(arc.center().x() + std::cos(radians) * arc.width() / 2,
                      arc.center().y() - std::sin(radians) * arc.height() / 2);
    painter.drawEllipse(end, s * 0.13, s * 0.1);
  }
}

} // namespace

QPixmap PhonePicture(int size, bool connected) {
  return QPixmap::fromImage(PhoneImage(size, connected));
}

QImage PhoneImage(int size, bool connected) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  const double s = size;
  painter.setPen(Qt::NoPen);
  painter.setBrush(connected ? QColor(30, 150, 60) : QColor(128, 128, 128));
  painter.drawRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), s * 0.2, s * 0.2);
  DrawHandset(painter, s);
  if (!connected) {
    painter.setPen(QPen(QColor(220, 30, 30), s * 0.1, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(s * 0.2, s * 0.2), QPointF(s * 0.8, s * 0.8));
  }
  painter.end();
  return image;
}
