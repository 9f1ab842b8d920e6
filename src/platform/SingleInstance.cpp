#include "platform/SingleInstance.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>

#include "base/RegularFile.h"
#include "platform/ProgramPaths.h"

const char* const TSingleInstance::LockFileName = "___KsoCtiClient___.lock";

TSingleInstance::TSingleInstance() {
  const std::string path = RuntimeFolder() + "/" + LockFileName;
  TUniqueFd fd = OpenRegularFile(path, O_RDWR | O_CREAT | O_NOFOLLOW);
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
