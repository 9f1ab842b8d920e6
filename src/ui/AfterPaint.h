#pragma once

#include <QObject>
#include <functional>
#include <vector>

class QWidget;

// Tells when what a window shows has reached the screen. The window calls
// Showing() before it shows something new (a new showing or a change in
// place); what waits through WhenPainted runs once the first paint after
// that is complete: every widget drawn and the window handed to the
// display. Owned by the window; what still waits when the window goes
// never runs.
class TAfterPaint final : public QObject {
public:
  // `stamp`, when given, runs first after each such paint.
  explicit TAfterPaint(QWidget& window, std::function<void()> stamp = {});

  void Showing();
  // At once when the last showing has been painted already.
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
  std::vector<std::function<void()>> waiting_;
};
