#include "ui/FirstPaintStamp.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMetaObject>
#include <QWidget>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Watches the window and every widget in it: the window itself may have
// nothing of its own to paint, its children cover it.
class TFirstPaintStamp final : public QObject {
public:
  TFirstPaintStamp(QWidget& window, std::function<std::string()> label, int fd)
      : QObject(&window), label_(std::move(label)), fd_(fd) {
    window.installEventFilter(this);
    for (QWidget* child : window.findChildren<QWidget*>())
      child->installEventFilter(this);
  }
  ~TFirstPaintStamp() override { ::close(fd_); }
  TFirstPaintStamp(const TFirstPaintStamp&) = delete;
  TFirstPaintStamp& operator=(const TFirstPaintStamp&) = delete;

  void Arm() { armed_ = true; }

protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint && armed_) {
      armed_ = false;
      // Queued: it runs once this paint pass has drawn every widget and
      // handed the window to the display.
      QMetaObject::invokeMethod(
          this, [this] { Write(); }, Qt::QueuedConnection);
    }
    return false;
  }

private:
  void Write() {
    // The time the display server has drawn it, not merely been sent it.
    QGuiApplication::sync();
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const std::string line =
        std::to_string(static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec) + " " +
        label_() + "\n";
    (void)!::write(fd_, line.data(), line.size());
  }

  const std::function<std::string()> label_;
  const int fd_;
  bool armed_ = false;
};

} // namespace

std::function<void()> InstallFirstPaintStamp(QWidget& window, std::function<std::string()> label) {
  const char* path = std::getenv("TELORIA2_PAINT_STAMP");
  if (path == nullptr || *path == '\0')
    return {};
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0)
    return {};
  // Owned by the window, as is whoever holds the function.
  auto* stamp = new TFirstPaintStamp(window, std::move(label), fd);
  return [stamp] { stamp->Arm(); };
}
