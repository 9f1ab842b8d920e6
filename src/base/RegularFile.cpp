#include "base/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// No descriptor, with errno telling why.
TUniqueFd Refuse(int error) {
  errno = error;
  return {};
}

int NotRegularError(const struct stat& st) {
  return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
}

} // namespace

TUniqueFd OpenRegularFileAt(int folder, const std::string& name, int flags, mode_t mode) {
  // Looked at first, so that a device is never opened at all; the open file
  // is checked again, as the name may have been replaced meanwhile.
  struct stat st {};
  const int statFlags = (flags & O_NOFOLLOW) != 0 ? AT_SYMLINK_NOFOLLOW : 0;
  if (::fstatat(folder, name.c_str(), &st, statFlags) == 0 && !S_ISREG(st.st_mode))
    return Refuse(S_ISLNK(st.st_mode) ? ELOOP : NotRegularError(st));
  TUniqueFd fd(::openat(folder, name.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode));
  if (!fd.Valid())
    return fd;
  if (::fstat(fd.Get(), &st) != 0)
    return Refuse(errno);
  if (!S_ISREG(st.st_mode))
    return Refuse(NotRegularError(st));
  const int status = ::fcntl(fd.Get(), F_GETFL);
  if (status == -1 || ::fcntl(fd.Get(), F_SETFL, status & ~O_NONBLOCK) != 0)
    return Refuse(errno);
  return fd;
}

TUniqueFd OpenRegularFile(const std::string& path, int flags, mode_t mode) {
  return OpenRegularFileAt(AT_FDCWD, path, flags, mode);
}

bool ReadRegularFile(const std::string& path, std::string& bytes, size_t limit) {
  const TUniqueFd file = OpenRegularFile(path, O_RDONLY);
  if (!file.Valid())
    return false;
  bytes.clear();
  return ReadOpenFile(file.Get(), bytes, limit);
}

bool ReadOpenFile(int fd, std::string& bytes, size_t limit) {
  char buffer[65536];
  while (bytes.size() < limit) {
    const ssize_t n = ::read(fd, buffer, std::min(sizeof(buffer), limit - bytes.size()));
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
