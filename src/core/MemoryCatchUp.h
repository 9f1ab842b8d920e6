#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/PostTarget.h"
#include "core/MemoryRecordMatch.h"

class TMirelKT5CommBase;

// Reads the calls the adapter keeps in its own memory (records 1 to 30) on a
// worker thread, so that the controller keeps taking calls meanwhile; the
// result, or the failure, is posted to the owner's thread. Reads wait while
// a call is in progress on the line and go on once it has ended.
//
// The session must outlive the reading: Stop (or destruction) ends it and
// waits for the exchange that runs, before the session may go.
class TMemoryCatchUp {
public:
  static constexpr int RecordCount = 30;
  using TRead = std::function<void(std::vector<TStoredCall> calls)>;
  using TFailed = std::function<void(const std::string& message)>;

  explicit TMemoryCatchUp(TPostTargetPtr owner);
  ~TMemoryCatchUp();
  TMemoryCatchUp(const TMemoryCatchUp&) = delete;
  TMemoryCatchUp& operator=(const TMemoryCatchUp&) = delete;

  // A reading that runs is ended first; what it read is dropped.
  void Start(TMirelKT5CommBase& session, TRead read, TFailed failed);
  void Stop();
  // Every packet of the line as the session reports it (its packet kind).
  void LineEvent(uint8_t packetKind);
  bool CallInProgress() const;

private:
  struct TRun;
  // False once stopped.
  bool WaitForIdleLine(const TRun& run);
  void Deliver(const std::shared_ptr<TRun>& run, std::function<void()> fn);

  TPostTargetPtr owner_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool callInProgress_ = false;
  std::chrono::steady_clock::time_point lastPacket_;
  std::shared_ptr<TRun> run_;
  std::thread worker_;
};
