#include "data/FileBytes.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class TFileDescriptor {
public:
  explicit TFileDescriptor(int fd) : fd_(fd) {}
  ~TFileDescriptor() {
    if (fd_ >= 0)
      ::close(fd_);
  }
  TFileDescriptor(const TFileDescriptor&) = delete;
  TFileDescriptor& operator=(const TFileDescriptor&) = delete;
  int Get() const { return fd_; }

private:
  int fd_;
};

std::string TemporaryName(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  return target + "." + std::to_string(::getpid()) + "." + std::to_string(++counter) + ".tmp";
}

} // namespace

bool ReadFileBytes(const std::string& path, std::string& bytes, size_t limit) {
  const TFileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat st {};
  if (file.Get() < 0 || ::fstat(file.Get(), &st) != 0 || !S_ISREG(st.st_mode))
    return false;
  bytes.clear();
  char buffer[65536];
  while (bytes.size() < limit) {
    const ssize_t n = ::read(file.Get(), buffer, std::min(sizeof(buffer), limit - bytes.size()));
    if (n == 0)
      return true;
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return false;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  return true;
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
