#include "ui/Decorations.h"

#include <QEvent>
#include <QLinearGradient>
#include <QPainter>

TGradient::TGradient(QWidget* parent, QColor begin, QColor end, Qt::Orientation direction)
    : QWidget(parent), begin_(begin), end_(end), direction_(direction) {
  // Clicks belong to whatever the gradient decorates.
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TGradient::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QPointF to = direction_ == Qt::Horizontal ? QPointF(width(), 0) : QPointF(0, height());
  QLinearGradient gradient(QPointF(0, 0), to);
  gradient.setColorAt(0, begin_);
  gradient.setColorAt(1, end_);
  painter.fillRect(rect(), gradient);
}

TPanelEx::TPanelEx(QWidget* parent, QColor borderColor, Qt::Edges borders)
    : QFrame(parent), borderColor_(borderColor), borders_(borders) {}

void TPanelEx::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter painter(this);
  painter.setPen(borderColor_);
  const QRect r = rect().adjusted(0, 0, -1, -1);
  if (borders_ & Qt::LeftEdge)
    painter.drawLine(r.topLeft(), r.bottomLeft());
  if (borders_ & Qt::TopEdge)
    painter.drawLine(r.topLeft(), r.topRight());
  if (borders_ & Qt::RightEdge)
    painter.drawLine(r.topRight(), r.bottomRight());
  if (borders_ & Qt::BottomEdge)
    painter.drawLine(r.bottomLeft(), r.bottomRight());
}

TButtonEx::TButtonEx(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {}

void TButtonEx::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QLinearGradient gradient(QPointF(0, 0), QPointF(0, height()));
  const bool down = isDown();
  gradient.setColorAt(0, down ? QColor(170, 190, 230) : QColor(250, 252, 255));
  gradient.setColorAt(1, down ? QColor(230, 236, 250) : QColor(180, 200, 235));
  painter.fillRect(rect(), gradient);
  painter.setPen(QColor(60, 80, 140));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  painter.setPen(isEnabled() ? palette().color(QPalette::ButtonText) : QColor(150, 150, 150));
  painter.drawText(rect(), Qt::AlignCenter, text());
}

namespace {

// Resizes the watched child to its parent whenever the parent resizes.
class TFillParentFilter : public QObject {
public:
  TFillParentFilter(QWidget* child) : QObject(child), child_(child) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Resize)
      child_->setGeometry(child_->parentWidget()->rect());
    return false;
  }

private:
  QWidget* child_;
};

} // namespace

void FillParent(QWidget* child) {
  QWidget* parent = child->parentWidget();
  parent->installEventFilter(new TFillParentFilter(child));
  child->setGeometry(parent->rect());
  child->lower();
}
