#include "platform/SharedMemory.h"

#include "base/RegularFile.h"
#include "platform/ProgramPaths.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A stale block is replaced; should other creators keep racing for the name,
// give up rather than loop.
constexpr int kCreateAttempts = 3;

bool OwnedByUs(const struct stat& st) {
  return st.st_uid == ::geteuid();
}

} // namespace

std::string TSharedMemory::PathOf(const std::string& name) {
  return RuntimeFolder() + "/" + name;
}

TSharedMemory::TSharedMemory(const std::string& name, size_t size, TMode mode)
    : path_(PathOf(name)), size_(size) {
  const bool ok = size > 0 && (mode == TMode::Create ? CreateOwned() : OpenExisting()) && Map();
  if (ok)
    return;
  if (error_ == 0)
    error_ = size > 0 ? errno : EINVAL;
  if (created_)
    ::unlink(path_.c_str());
  created_ = false;
  fd_.Reset();
  size_ = 0;
}

TSharedMemory::~TSharedMemory() {
  if (data_ != nullptr)
    ::munmap(data_, size_);
  if (created_ && StillOurs())
    ::unlink(path_.c_str());
}

bool TSharedMemory::CreateOwned() {
  for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
    // A new file is always a regular one: O_EXCL follows no link.
    fd_.Reset(::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (fd_.Valid()) {
      created_ = true;
      return ::ftruncate(fd_.Get(), static_cast<off_t>(size_)) == 0;
    }
    if (errno != EEXIST)
      return false;
    struct stat st {};
    if (::lstat(path_.c_str(), &st) != 0) {
      if (errno == ENOENT)
        continue; // gone meanwhile
      return false;
    }
    if (!OwnedByUs(st)) {
      error_ = EPERM; // another user's file: never used, never removed
      return false;
    }
    ::unlink(path_.c_str()); // ours, left behind by a crash
  }
  error_ = EEXIST;
  return false;
}

bool TSharedMemory::OpenExisting() {
  fd_ = OpenRegularFile(path_, O_RDWR | O_NOFOLLOW);
  struct stat st {};
  if (!fd_.Valid() || ::fstat(fd_.Get(), &st) != 0)
    return false;
  if (!OwnedByUs(st))
    error_ = EPERM;
  else if (static_cast<size_t>(st.st_size) != size_)
    error_ = EINVAL;
  return error_ == 0;
}

bool TSharedMemory::Map() {
  void* p = ::mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_SHARED, fd_.Get(), 0);
  if (p == MAP_FAILED)
    return false;
  data_ = p;
  return true;
}

bool TSharedMemory::CopyOut(uint8_t* out) const {
  if (!Valid()) {
    errno = EBADF;
    return false;
  }
  struct stat st {};
  if (::fstat(fd_.Get(), &st) != 0)
    return false;
  size_t done = 0;
  while (static_cast<size_t>(st.st_size) == size_ && done < size_) {
    const ssize_t n = ::pread(fd_.Get(), out + done, size_ - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return false;
    if (n == 0)
      break;
    done += static_cast<size_t>(n);
  }
  if (done == size_)
    return true;
  errno = EINVAL;
  return false;
}

// Whether the name still stands for our block: a later owner may have
// replaced it, and its block is not ours to remove.
bool TSharedMemory::StillOurs() const {
  struct stat now {
  }, mine{};
  return ::lstat(path_.c_str(), &now) == 0 && ::fstat(fd_.Get(), &mine) == 0 &&
         now.st_dev == mine.st_dev && now.st_ino == mine.st_ino;
}
