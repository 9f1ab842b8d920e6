#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// A named block of memory that other processes of the same user can open:
// POSIX shared memory "/<name>.<uid>", mode 0600. The process that created the
// block removes the name when it closes it.
class TSharedMemory {
public:
  enum class TMode { Create, Open };

  // Create makes the block (or opens it when it exists) with `size` bytes;
  // Open maps an existing block. Valid() is false on failure.
  TSharedMemory(const std::string& name, size_t size, TMode mode);
  ~TSharedMemory();
  TSharedMemory(const TSharedMemory&) = delete;
  TSharedMemory& operator=(const TSharedMemory&) = delete;

  bool Valid() const { return data_ != nullptr; }
  size_t Size() const { return size_; }
  uint8_t* Data() { return static_cast<uint8_t*>(data_); }
  const uint8_t* Data() const { return static_cast<const uint8_t*>(data_); }

  static std::string SystemName(const std::string& name);

private:
  std::string systemName_;
  void* data_ = nullptr;
  size_t size_ = 0;
  bool created_ = false;
};
