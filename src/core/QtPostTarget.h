#pragma once

#include "base/PostTarget.h"

#include <QObject>
#include <QPointer>

// Posts closures to the thread of a QObject through its event queue (FIFO).
// Once the object is gone, queued and later closures are dropped. A closure
// that throws is logged and the event loop carries on.
class TQtPostTarget final : public TPostTarget {
public:
  explicit TQtPostTarget(QObject* context) : context_(context) {}
  void Post(std::function<void()> fn) override;

private:
  QPointer<QObject> context_;
};
