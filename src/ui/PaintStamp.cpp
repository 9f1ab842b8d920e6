#include "ui/PaintStamp.h"

#include "base/UniqueFd.h"

#include <QGuiApplication>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

std::function<void()> PaintStamp(std::function<std::string()> label) {
  const char* path = std::getenv("TELORIA2_PAINT_STAMP");
  if (path == nullptr || *path == '\0')
    return {};
  auto file =
      std::make_shared<TUniqueFd>(::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
  if (!file->Valid())
    return {};
  return [file, label = std::move(label)] {
    // The time the display server has drawn it, not merely been sent it.
    QGuiApplication::sync();
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const std::string line =
        std::to_string(static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec) + " " +
        label() + "\n";
    (void)!::write(file->Get(), line.data(), line.size());
  };
}
