#include "platform/SharedMemory.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

std::string TSharedMemory::SystemName(const std::string& name) {
  return "/" + name + "." + std::to_string(::getuid());
}

TSharedMemory::TSharedMemory(const std::string& name, size_t size, TMode mode)
    : systemName_(SystemName(name)) {
  int fd = -1;
  if (mode == TMode::Create) {
    fd = ::shm_open(systemName_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    created_ = fd >= 0;
    if (fd < 0 && errno == EEXIST)
      fd = ::shm_open(systemName_.c_str(), O_RDWR | O_CLOEXEC, 0600);
  } else {
    fd = ::shm_open(systemName_.c_str(), O_RDWR | O_CLOEXEC, 0600);
  }
  if (fd < 0)
    return;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0;
  if (ok && mode == TMode::Create && static_cast<size_t>(st.st_size) < size)
    ok = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
  else if (ok && mode == TMode::Open)
    size = static_cast<size_t>(st.st_size);
  if (ok && size > 0) {
    void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (p != MAP_FAILED) {
      data_ = p;
      size_ = size;
    }
  }
  ::close(fd);
  if (data_ == nullptr && created_) {
    ::shm_unlink(systemName_.c_str());
    created_ = false;
  }
}

TSharedMemory::~TSharedMemory() {
  if (data_ != nullptr)
    ::munmap(data_, size_);
  if (created_)
    ::shm_unlink(systemName_.c_str());
}
