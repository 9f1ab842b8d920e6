#pragma once

#include <QObject>
#include <functional>

class QWidget;

// Tells when what a window shows has reached the screen. The window calls
// Showing() before it shows something new (a new showing or a change in
// place); what waits through WhenPainted runs once the first paint after
// that is complete: every widget drawn and the window handed to the
// display. One thing waits at a time, so a window that is not painted for
// long (on another desktop) gathers nothing. Owned by the window; what
// still waits when the window goes never runs.
class TAfterPaint final : public QObject {
public:
  // `stamp`, when given, runs first after each such paint.
  explicit TAfterPaint(QWidget& window, std::function<void()> stamp = {});

  void Showing();
  // At once when the last showing has been painted already; replaces what
  // waited before.
  void WhenPainted(std::function<void()> fn);

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void Painted();

  // Showings counted; the last painted and completed, the last painted.
  unsigned showing_ = 0;
  unsigned painted_ = 0;
  unsigned paintedShowing_ = 0;
  bool completing_ = false;
  const std::function<void()> stamp_;
  std::function<void()> waiting_;
};
