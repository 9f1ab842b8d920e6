#include "platform/SingleInstance.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/RegularFile.h"
#include "platform/ProgramPaths.h"

const char* const TSingleInstance::LockFileName = "___KsoCtiClient___.lock";
const char* const TSingleInstance::DataLockFileName = ".teloria2.lock";

namespace {

// An exclusive lock on the file, taken at once or not at all; invalid, with
// errno set, when it cannot be opened or another holds it.
TUniqueFd LockFile(const std::string& path) {
  TUniqueFd fd = OpenRegularFile(path, O_RDONLY | O_CREAT | O_NOFOLLOW);
  if (!fd.Valid())
    return fd;
  // In a folder others may write, a file of another user is not our lock:
  // whoever made it could hold it and keep every start out.
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0)
    return {};
  if (st.st_uid != ::geteuid()) {
    errno = EPERM;
    return {};
  }
  int result;
  while ((result = ::flock(fd.Get(), LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  return result == 0 ? std::move(fd) : TUniqueFd();
}

bool SameFile(const std::string& path, int fd) {
  struct stat named {
  }, held{};
  return ::lstat(path.c_str(), &named) == 0 && ::fstat(fd, &held) == 0 &&
         named.st_dev == held.st_dev && named.st_ino == held.st_ino;
}

} // namespace

TSingleInstance::TSingleInstance() {
  // The data folder first: a start that finds it taken leaves the runtime
  // folder alone, so it never stands in the way of a running instance that
  // makes its lost runtime folder again.
  dataFd_ = LockFile(ProgramFolder() + "/" + DataLockFileName);
  if (!dataFd_.Valid()) {
    if (errno == EWOULDBLOCK) {
      error_ = errno;
      return;
    }
    dataLockError_ = errno;
  }
  if (!RetakeRuntimeLock()) {
    error_ = errno;
    dataFd_.Reset();
  }
}

bool TSingleInstance::RuntimeLockLost() const {
  return runtimeFd_.Valid() && !SameFile(runtimePath_, runtimeFd_.Get());
}

bool TSingleInstance::RetakeRuntimeLock() {
  const std::string path = RuntimeFolder() + "/" + LockFileName;
  TUniqueFd fd = LockFile(path);
  if (!fd.Valid())
    return false;
  runtimeFd_ = std::move(fd);
  runtimePath_ = path;
  return true;
}
