#include "data/FileBytes.h"

#include "base/RegularFile.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

std::string TemporaryName(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  return target + "." + std::to_string(::getpid()) + "." + std::to_string(++counter) + ".tmp";
}

} // namespace

bool ReadFileBytes(const std::string& path, std::string& bytes, size_t limit) {
  return ReadRegularFile(path, bytes, limit);
}

TPendingFile::TPendingFile(std::string targetPath, mode_t mode) : target_(std::move(targetPath)) {
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    temporary_ = TemporaryName(target_);
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd_ < 0 && errno != EEXIST)
      break;
  }
}

TPendingFile::~TPendingFile() {
  if (fd_ >= 0)
    ::close(fd_);
  if (!placed_ && !temporary_.empty())
    ::unlink(temporary_.c_str());
}

bool WriteAllBytes(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

bool TPendingFile::Write(std::string_view bytes) {
  return fd_ >= 0 && WriteAllBytes(fd_, bytes);
}

bool TPendingFile::Finish() {
  if (fd_ < 0)
    return false;
  const bool synced = ::fsync(fd_) == 0;
  const bool closed = ::close(fd_) == 0;
  fd_ = -1;
  return synced && closed;
}

bool TPendingFile::Replace() {
  placed_ = Finish() && ::rename(temporary_.c_str(), target_.c_str()) == 0;
  return placed_;
}

bool TPendingFile::CreateNew() {
  if (!Finish())
    return false;
  if (::link(temporary_.c_str(), target_.c_str()) == 0)
    return true; // the destructor removes the temporary name
  if (errno == EEXIST)
    return false;
  // File systems without hard links: an atomic no-replace rename.
  placed_ =
      ::renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE) == 0;
  return placed_;
}
