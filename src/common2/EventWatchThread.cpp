#include "common2/EventWatchThread.h"

#include <cerrno>
#include <chrono>

#include "base/Clock.h"
#include "common2/MirelKT5CommCompo.h"

namespace {

// Bounds the loop's rate when the device keeps failing or keeps waking
// without data.
void Pause() {
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

constexpr int64_t RepeatReportMs = 1000;

} // namespace

TEventWatchThread::TEventWatchThread(TMirelKT5CommCompo& owner, ISerialDevice& device)
    : owner_(owner), device_(device), thread_([this] { Execute(); }) {}

TEventWatchThread::~TEventWatchThread() {
  Join();
}

void TEventWatchThread::Join() {
  if (thread_.joinable())
    thread_.join();
}

void TEventWatchThread::Execute() {
  while (!owner_.terminated_) {
    const int error = device_.WaitEvent();
    if (owner_.terminated_)
      return;
    if (error == ECANCELED)
      continue;
    if (error != 0) {
      ReportWaitFailure(error);
      Pause();
      continue;
    }
    reportedError_ = 0;
    try {
      HandleEvent();
    } catch (const std::exception& e) {
      owner_.ReportError(e.what());
      Pause();
    } catch (...) {
      owner_.ReportError("unknown exception");
      Pause();
    }
  }
}

// A failure that persists (a device node lingering after the adapter went)
// is reported when it begins, then at most once a second, not at every turn
// of the loop.
void TEventWatchThread::ReportWaitFailure(int error) {
  const int64_t now = MonotonicMs();
  if (error == reportedError_ && now - reportedAt_ < RepeatReportMs)
    return;
  reportedError_ = error;
  reportedAt_ = now;
  owner_.Trace("WaitCommEvent", static_cast<uint32_t>(error));
}

void TEventWatchThread::HandleEvent() {
  uint32_t lineErrors = 0;
  if (device_.TakeLineErrors(lineErrors) == 0 && lineErrors != 0)
    owner_.ReportCommError(lineErrors);
  switch (owner_.ReceiveStep(owner_.ReadCtsForEvent())) {
  case TMirelKT5CommCompo::TReceiveResult::Skipped:
    // The exchange owns the bytes that woke us; look again when it is done.
    owner_.WaitWhileBusy();
    break;
  case TMirelKT5CommCompo::TReceiveResult::Empty:
    Pause();
    break;
  case TMirelKT5CommCompo::TReceiveResult::Received:
    break;
  }
}
