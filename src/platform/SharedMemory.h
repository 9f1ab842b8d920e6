#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/UniqueFd.h"

// A named block of memory that other processes of the same user can open:
// POSIX shared memory "/<name>.<uid>", mode 0600. A block is used only when
// this user owns it and it has exactly the expected size: any local user can
// create a name in /dev/shm first.
class TSharedMemory {
public:
  enum class TMode { Create, Open };

  // Create: this process owns the name. A block of ours already there is
  // left from a crashed owner and is replaced by a fresh, zeroed one; a
  // block of another user is refused (EPERM). The name is removed when this
  // object goes, unless another owner has replaced it meanwhile.
  // Open: maps the existing block, which must be ours and of `size` bytes
  // (EPERM or EINVAL otherwise). Valid() is false on failure; Error() tells
  // the errno.
  TSharedMemory(const std::string& name, size_t size, TMode mode);
  ~TSharedMemory();
  TSharedMemory(const TSharedMemory&) = delete;
  TSharedMemory& operator=(const TSharedMemory&) = delete;

  bool Valid() const { return data_ != nullptr; }
  int Error() const { return error_; }
  size_t Size() const { return size_; }
  uint8_t* Data() { return static_cast<uint8_t*>(data_); }
  const uint8_t* Data() const { return static_cast<const uint8_t*>(data_); }

  // Copies the whole block into `out` (Size() bytes) with a plain read, not
  // through the mapping: another process may have cut the block short, and
  // touching the mapping beyond its end would kill this process (SIGBUS).
  // False, with errno set, when the block no longer has its size (EINVAL)
  // or cannot be read.
  bool CopyOut(uint8_t* out) const;

  static std::string SystemName(const std::string& name);

private:
  bool CreateOwned();
  bool OpenExisting();
  bool Map();
  bool StillOurs() const;

  std::string systemName_;
  TUniqueFd fd_;
  void* data_ = nullptr;
  size_t size_ = 0;
  bool created_ = false;
  int error_ = 0;
};
