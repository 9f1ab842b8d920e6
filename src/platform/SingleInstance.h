#pragma once

#include "base/UniqueFd.h"

// One running instance per user: an exclusive flock on
// <RuntimeFolder()>/___KsoCtiClient___.lock, held for this object's life.
// The kernel drops the lock when its holder dies, so a crash leaves no stale
// lock behind; the descriptor is close-on-exec so programs we start do not
// inherit it.
class TSingleInstance {
public:
  TSingleInstance();
  TSingleInstance(const TSingleInstance&) = delete;
  TSingleInstance& operator=(const TSingleInstance&) = delete;

  // True when this object holds the lock: this is the only instance.
  bool Held() const { return fd_.Valid(); }
  // 0 when the lock is held; EWOULDBLOCK when another instance holds it;
  // otherwise the errno of the failed open or lock (the caller treats that
  // like another instance running).
  int Error() const { return error_; }

  static const char* const LockFileName;

private:
  TUniqueFd fd_;
  int error_ = 0;
};
