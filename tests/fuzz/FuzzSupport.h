#pragma once

// What the fuzz targets share: a failed property aborts, so that libFuzzer
// reports it with the input that broke it.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>

inline void Check(bool condition) {
  if (!condition)
    std::abort();
}

inline std::string_view AsText(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// Well-formed UTF-8 without overlong forms or surrogates.
inline bool IsValidUtf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    const unsigned char c = *p++;
    if (c < 0x80)
      continue;
    size_t more = 0;
    uint32_t code = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      more = 1;
      code = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      more = 2;
      code = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      more = 3;
      code = c & 0x07;
    } else {
      return false;
    }
    if (static_cast<size_t>(end - p) < more)
      return false;
    for (size_t i = 0; i < more; ++i) {
      if ((p[i] & 0xC0) != 0x80)
        return false;
      code = (code << 6) | (p[i] & 0x3F);
    }
    p += more;
    if ((more == 2 && code < 0x800) || (more == 3 && (code < 0x10000 || code > 0x10FFFF)) ||
        (code >= 0xD800 && code <= 0xDFFF))
      return false;
  }
  return true;
}

// A file in memory with a path (/proc/self/fd/N), so that a parser that takes
// a file name reads each input without a disk in between.
class TMemoryFile {
public:
  TMemoryFile() : fd_(::memfd_create("fuzz-input", MFD_CLOEXEC)) { Check(fd_ >= 0); }
  ~TMemoryFile() { ::close(fd_); }
  TMemoryFile(const TMemoryFile&) = delete;
  TMemoryFile& operator=(const TMemoryFile&) = delete;

  void Write(std::string_view bytes) {
    Check(::ftruncate(fd_, 0) == 0);
    Check(::pwrite(fd_, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()));
  }
  std::string Path() const { return "/proc/self/fd/" + std::to_string(fd_); }

private:
  int fd_;
};
