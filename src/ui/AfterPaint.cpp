#include "ui/AfterPaint.h"

#include "ui/EventGuard.h"

#include <QEvent>
#include <QMetaObject>
#include <QWidget>
#include <utility>

// The window itself may have nothing of its own to paint, its children
// cover it: they are watched too.
TAfterPaint::TAfterPaint(QWidget& window, std::function<void()> stamp)
    : QObject(&window), stamp_(std::move(stamp)) {
  window.installEventFilter(this);
  for (QWidget* child : window.findChildren<QWidget*>())
    child->installEventFilter(this);
}

void TAfterPaint::Showing() {
  ++showing_;
}

void TAfterPaint::WhenPainted(std::function<void()> fn) {
  if (painted_ == showing_)
    GuardEvent("画面表示後の処理でエラーが発生しました。", fn);
  else
    waiting_ = std::move(fn);
}

bool TAfterPaint::eventFilter(QObject*, QEvent* event) {
  if (event->type() != QEvent::Paint || painted_ == showing_)
    return false;
  paintedShowing_ = showing_;
  if (!completing_) {
    completing_ = true;
    // Queued: it runs once this paint pass has drawn every widget and
    // handed the window to the display.
    QMetaObject::invokeMethod(
        this, [this] { Painted(); }, Qt::QueuedConnection);
  }
  return false;
}

// A paint of what was shown before a newer showing leaves the newer one
// waiting for its own paint.
void TAfterPaint::Painted() {
  completing_ = false;
  painted_ = paintedShowing_;
  if (painted_ != showing_)
    return;
  if (stamp_)
    stamp_();
  if (const std::function<void()> waiting = std::exchange(waiting_, {}))
    GuardEvent("画面表示後の処理でエラーが発生しました。", waiting);
}
