#include "DeviceLink.h"

#include "base/Exception.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string LinkTarget(const std::string& path) {
  char buffer[PATH_MAX];
  const ssize_t length = readlink(path.c_str(), buffer, sizeof buffer);
  return length < 0 ? std::string() : std::string(buffer, static_cast<size_t>(length));
}

} // namespace

void TDeviceLink::PointTo(const std::string& target) {
  if (path_.empty())
    return;
  struct stat info {};
  if (lstat(path_.c_str(), &info) == 0 && !S_ISLNK(info.st_mode))
    throw Exception(path_ + " exists and is not a symbolic link");
  // A temporary link renamed over the old one: the path never goes missing.
  const std::string temporary = path_ + ".new." + std::to_string(getpid());
  unlink(temporary.c_str());
  if (symlink(target.c_str(), temporary.c_str()) != 0 ||
      rename(temporary.c_str(), path_.c_str()) != 0) {
    const int error = errno;
    unlink(temporary.c_str());
    throw Exception(path_ + ": " + std::strerror(error));
  }
  target_ = target;
}

void TDeviceLink::Remove() {
  if (!target_.empty() && LinkTarget(path_) == target_)
    unlink(path_.c_str());
  target_.clear();
}
