#pragma once

#include <cstdint>
#include <thread>

class TMirelKT5CommCompo;
class ISerialDevice;

// Waits for port events and runs the component's receive step for each. Ends
// when the component sets its terminated flag and wakes the device. Nothing
// thrown inside the loop ends it: failures go to the component's error path.
class TEventWatchThread {
public:
  TEventWatchThread(TMirelKT5CommCompo& owner, ISerialDevice& device);
  ~TEventWatchThread();
  TEventWatchThread(const TEventWatchThread&) = delete;
  TEventWatchThread& operator=(const TEventWatchThread&) = delete;

  bool IsCurrentThread() const { return std::this_thread::get_id() == thread_.get_id(); }
  void Join();

private:
  void Execute();
  void HandleEvent();
  void ReportWaitFailure(int error);

  TMirelKT5CommCompo& owner_;
  ISerialDevice& device_;
  // The failed wait reported last (0: none since the last good one), and when.
  int reportedError_ = 0;
  int64_t reportedAt_ = 0;
  std::thread thread_;
};
