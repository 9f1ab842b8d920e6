#pragma once

#include <sqlite3.h>

// Where an armed fault strikes: a write to a file, a flush to the disk, or
// the taking of a lock (on the database file or, in WAL mode, in the shared
// index).
enum class TFaultPoint { Write, Sync, Lock };

// A fault and the result code the failing call returns, as the system's own
// VFS would (SQLITE_IOERR_WRITE, SQLITE_FULL, SQLITE_BUSY, ...).
struct TFault {
  TFaultPoint Point;
  int Code;
};

// A VFS for tests that passes every call to the system's default VFS, except
// that once armed, the Nth call at the fault's point and every later one fail
// with the fault's code, until disarmed. While it lives it is the default
// VFS, so every connection opened meanwhile goes through it; SQLite's pauses
// between retries of a refused lock take no time. One at a time.
class TFaultVfs {
public:
  TFaultVfs();
  ~TFaultVfs();
  TFaultVfs(const TFaultVfs&) = delete;
  TFaultVfs& operator=(const TFaultVfs&) = delete;

  // Counts calls at the fault's point from now on; with `times`, only that
  // many calls fail (a lock held for a moment).
  void Arm(const TFault& fault, int nth, int times = -1);
  void Disarm();
  // Whether the armed fault has struck since it was armed.
  bool Struck() const;
};
