#pragma once

#include "base/UniqueFd.h"

#include <string>

// One running instance per user and per data folder: an exclusive flock on
// <RuntimeFolder()>/___KsoCtiClient___.lock and one on
// <ProgramFolder()>/.teloria2.lock, both held for this object's life. The
// runtime folder differs between a desktop session and a shell without
// XDG_RUNTIME_DIR; the second lock keeps two such starts off one database.
// The kernel drops a lock when its holder dies, so a crash leaves no stale
// lock behind; the descriptors are close-on-exec so programs we start do
// not inherit them.
class TSingleInstance {
public:
  TSingleInstance();
  TSingleInstance(const TSingleInstance&) = delete;
  TSingleInstance& operator=(const TSingleInstance&) = delete;

  // True when this object holds the lock: this is the only instance.
  bool Held() const { return runtimeFd_.Valid(); }
  // 0 when the lock is held; EWOULDBLOCK when another instance holds it;
  // otherwise the errno of the failed open or lock (the caller treats that
  // like another instance running).
  int Error() const { return error_; }
  // Why the data folder's lock could not be opened (0: held, or another
  // instance holds it). Without it the runtime folder's lock alone decides:
  // a folder that cannot be made or written ends the start-up with its own
  // error.
  int DataLockError() const { return dataLockError_; }

  // The runtime folder's lock file is no longer the one held: the folder was
  // removed (as some session cleaners do) or the file replaced.
  bool RuntimeLockLost() const;
  // Takes the runtime folder's lock again, making the folder anew; false
  // when it cannot be made or another process holds it meanwhile (the
  // data folder's lock is kept either way).
  bool RetakeRuntimeLock();

  static const char* const LockFileName;
  static const char* const DataLockFileName;

private:
  TUniqueFd dataFd_;
  TUniqueFd runtimeFd_;
  std::string runtimePath_;
  int error_ = 0;
  int dataLockError_ = 0;
};
