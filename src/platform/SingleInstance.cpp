#include "platform/SingleInstance.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>

#include "platform/ProgramPaths.h"

const char* const TSingleInstance::LockFileName = "___KsoCtiClient___.lock";

TSingleInstance::TSingleInstance() {
  const std::string path = RuntimeFolder() + "/" + LockFileName;
  TUniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (!fd.Valid()) {
    error_ = errno;
    return;
  }
  int result;
  while ((result = ::flock(fd.Get(), LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  if (result != 0) {
    error_ = errno;
    return;
  }
  fd_ = std::move(fd);
}
