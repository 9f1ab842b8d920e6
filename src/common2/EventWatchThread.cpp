#include "common2/EventWatchThread.h"

#include <cerrno>
#include <chrono>

#include "common2/MirelKT5CommCompo.h"

namespace {

// Bounds the loop's rate when the device keeps failing or keeps waking
// without data.
void Pause() {
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

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
      owner_.Trace("WaitCommEvent", static_cast<uint32_t>(error));
      Pause();
      continue;
    }
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
