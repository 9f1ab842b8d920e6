#include "support/FaultVfs.h"

#include <stdexcept>

namespace {

struct TFaultState {
  sqlite3_vfs* Real = nullptr;
  bool Installed = false;
  bool Armed = false;
  TFault Fault{};
  int Nth = 0;
  int Times = -1;
  int Calls = 0;
  bool Struck = false;
};
TFaultState State;

int Strike(TFaultPoint point) {
  if (!State.Armed || State.Fault.Point != point || ++State.Calls < State.Nth ||
      (State.Times >= 0 && State.Calls >= State.Nth + State.Times))
    return SQLITE_OK;
  State.Struck = true;
  return State.Fault.Code;
}

// The real file lies in the same allocation, right behind this header.
struct TFaultFile {
  sqlite3_file Base;
  sqlite3_file* Real;
};

sqlite3_file* Real(sqlite3_file* file) {
  return reinterpret_cast<TFaultFile*>(file)->Real;
}
const sqlite3_io_methods& RealMethods(sqlite3_file* file) {
  return *Real(file)->pMethods;
}

int Close(sqlite3_file* f) {
  return RealMethods(f).xClose(Real(f));
}
int Read(sqlite3_file* f, void* buffer, int amount, sqlite3_int64 offset) {
  return RealMethods(f).xRead(Real(f), buffer, amount, offset);
}
int Write(sqlite3_file* f, const void* buffer, int amount, sqlite3_int64 offset) {
  const int rc = Strike(TFaultPoint::Write);
  return rc != SQLITE_OK ? rc : RealMethods(f).xWrite(Real(f), buffer, amount, offset);
}
int Truncate(sqlite3_file* f, sqlite3_int64 size) {
  return RealMethods(f).xTruncate(Real(f), size);
}
int Sync(sqlite3_file* f, int flags) {
  const int rc = Strike(TFaultPoint::Sync);
  return rc != SQLITE_OK ? rc : RealMethods(f).xSync(Real(f), flags);
}
int FileSize(sqlite3_file* f, sqlite3_int64* size) {
  return RealMethods(f).xFileSize(Real(f), size);
}
int Lock(sqlite3_file* f, int level) {
  const int rc = Strike(TFaultPoint::Lock);
  return rc != SQLITE_OK ? rc : RealMethods(f).xLock(Real(f), level);
}
int Unlock(sqlite3_file* f, int level) {
  return RealMethods(f).xUnlock(Real(f), level);
}
int CheckReservedLock(sqlite3_file* f, int* reserved) {
  return RealMethods(f).xCheckReservedLock(Real(f), reserved);
}
int FileControl(sqlite3_file* f, int op, void* arg) {
  return RealMethods(f).xFileControl(Real(f), op, arg);
}
int SectorSize(sqlite3_file* f) {
  return RealMethods(f).xSectorSize(Real(f));
}
int DeviceCharacteristics(sqlite3_file* f) {
  return RealMethods(f).xDeviceCharacteristics(Real(f));
}
int ShmMap(sqlite3_file* f, int region, int size, int extend, void volatile** map) {
  return RealMethods(f).xShmMap(Real(f), region, size, extend, map);
}
// In WAL mode the readers' and the writer's locks are taken here.
int ShmLock(sqlite3_file* f, int offset, int n, int flags) {
  const int rc = (flags & SQLITE_SHM_LOCK) != 0 ? Strike(TFaultPoint::Lock) : SQLITE_OK;
  return rc != SQLITE_OK ? rc : RealMethods(f).xShmLock(Real(f), offset, n, flags);
}
void ShmBarrier(sqlite3_file* f) {
  RealMethods(f).xShmBarrier(Real(f));
}
int ShmUnmap(sqlite3_file* f, int deleteFlag) {
  return RealMethods(f).xShmUnmap(Real(f), deleteFlag);
}
int Fetch(sqlite3_file* f, sqlite3_int64 offset, int amount, void** page) {
  return RealMethods(f).xFetch(Real(f), offset, amount, page);
}
int Unfetch(sqlite3_file* f, sqlite3_int64 offset, void* page) {
  return RealMethods(f).xUnfetch(Real(f), offset, page);
}

// Version 3, as the unix VFS's own methods.
const sqlite3_io_methods Methods = {
    3,
    Close,
    Read,
    Write,
    Truncate,
    Sync,
    FileSize,
    Lock,
    Unlock,
    CheckReservedLock,
    FileControl,
    SectorSize,
    DeviceCharacteristics,
    ShmMap,
    ShmLock,
    ShmBarrier,
    ShmUnmap,
    Fetch,
    Unfetch,
};

int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
  auto* faultFile = reinterpret_cast<TFaultFile*>(file);
  faultFile->Real = reinterpret_cast<sqlite3_file*>(faultFile + 1);
  const int rc = State.Real->xOpen(State.Real, name, faultFile->Real, flags, outFlags);
  // SQLite closes a file whose methods are set, even when the open failed.
  faultFile->Base.pMethods = faultFile->Real->pMethods != nullptr ? &Methods : nullptr;
  return rc;
}

// SQLite's retries after a refused lock take no time.
int Sleep(sqlite3_vfs*, int microseconds) {
  return microseconds;
}

sqlite3_vfs Vfs;

} // namespace

TFaultVfs::TFaultVfs() {
  if (State.Installed)
    throw std::logic_error("one fault VFS at a time");
  sqlite3_initialize();
  // Connections a former one left open still go through the wrapper.
  if (State.Real == nullptr)
    State.Real = sqlite3_vfs_find(nullptr);
  State = {State.Real, true};
  Vfs = *State.Real;
  Vfs.szOsFile = static_cast<int>(sizeof(TFaultFile)) + State.Real->szOsFile;
  Vfs.pNext = nullptr;
  Vfs.zName = "teloria-fault";
  Vfs.xOpen = Open;
  Vfs.xSleep = Sleep;
  sqlite3_vfs_register(&Vfs, 1);
}

TFaultVfs::~TFaultVfs() {
  // Connections still open keep using the wrapper, which stays valid and
  // from now on passes everything on.
  sqlite3_vfs_unregister(&Vfs);
  sqlite3_vfs_register(State.Real, 1);
  State = {State.Real, false};
}

void TFaultVfs::Arm(const TFault& fault, int nth, int times) {
  State.Fault = fault;
  State.Nth = nth;
  State.Times = times;
  State.Calls = 0;
  State.Struck = false;
  State.Armed = true;
}

void TFaultVfs::Disarm() {
  State.Armed = false;
}

bool TFaultVfs::Struck() const {
  return State.Struck;
}
