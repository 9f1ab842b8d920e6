#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/UniqueFd.h"

// A named block of memory that other processes of the same user can open:
// the file <RuntimeFolder()>/<name>, mode 0600, mapped. Only the user can
// make files in that folder (names in /dev/shm are shared by every user, who
// could take them first); still, a block is used only when it is a regular
// file this user owns of exactly the expected size.
class TSharedMemory {
public:
  enum class TMode { Create, Open };

  // Create: this process owns the name. A file of ours already there is
  // left from a crashed owner and is replaced by a fresh, zeroed block; a
  // file of another user is refused (EPERM). The name is removed when this
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

  // A created block whose name no longer stands for it: its folder was
  // removed, or another owner replaced it. Others cannot open it any more.
  bool Lost() const { return created_ && !StillOurs(); }

  // The file that holds the block of that name.
  static std::string PathOf(const std::string& name);

private:
  bool CreateOwned();
  bool OpenExisting();
  bool Map();
  bool StillOurs() const;

  std::string path_;
  TUniqueFd fd_;
  void* data_ = nullptr;
  size_t size_ = 0;
  bool created_ = false;
  int error_ = 0;
};
