#include "core/MemoryCatchUp.h"

#include <atomic>
#include <exception>

#include "common2/MirelKT5CommBase.h"
#include "common2/MirelKT5ReceivePacket.h"

namespace {

// A call whose end never came (a lost packet) holds the reading back no
// longer than this after its last packet.
constexpr auto LostEndLimit = std::chrono::minutes(3);

bool EndsCall(uint8_t packetKind) {
  return packetKind == PacketKind::OnHook || packetKind == PacketKind::Unanswered ||
         packetKind == PacketKind::GroupEnd;
}

} // namespace

struct TMemoryCatchUp::TRun {
  std::atomic<bool> Stopped{false};
};

TMemoryCatchUp::TMemoryCatchUp(TPostTargetPtr owner) : owner_(std::move(owner)) {}

TMemoryCatchUp::~TMemoryCatchUp() {
  Stop();
}

void TMemoryCatchUp::Start(TMirelKT5CommBase& session, TRead read, TFailed failed) {
  Stop();
  auto run = std::make_shared<TRun>();
  {
    std::lock_guard lock(mutex_);
    run_ = run;
  }
  worker_ = std::thread([this, &session, run, read = std::move(read), failed = std::move(failed)] {
    try {
      std::vector<TStoredCall> calls;
      for (int index = 1; index <= RecordCount; ++index) {
        if (!WaitForIdleLine(*run))
          return;
        IKT5MirelKT5ReceivePacket packet;
        session.ReadMemory(static_cast<uint8_t>(index), packet);
        if (!packet)
          continue;
        if (const std::optional<TStoredCall> call = StoredCallOf(*packet))
          calls.push_back(*call);
      }
      Deliver(run, [read, calls] { read(calls); });
    } catch (const std::exception& e) {
      Deliver(run, [failed, message = std::string(e.what())] { failed(message); });
    } catch (...) {
      Deliver(run, [failed] { failed("unknown exception"); });
    }
  });
}

// What a stopped reading read is never delivered, even when already posted.
void TMemoryCatchUp::Deliver(const std::shared_ptr<TRun>& run, std::function<void()> fn) {
  owner_->Post([run, fn = std::move(fn)] {
    if (!run->Stopped)
      fn();
  });
}

void TMemoryCatchUp::Stop() {
  {
    std::lock_guard lock(mutex_);
    if (run_)
      run_->Stopped = true;
    run_.reset();
  }
  changed_.notify_all();
  if (worker_.joinable())
    worker_.join();
}

void TMemoryCatchUp::LineEvent(uint8_t packetKind) {
  {
    std::lock_guard lock(mutex_);
    callInProgress_ = !EndsCall(packetKind);
    lastPacket_ = std::chrono::steady_clock::now();
  }
  changed_.notify_all();
}

bool TMemoryCatchUp::CallInProgress() const {
  std::lock_guard lock(mutex_);
  return callInProgress_;
}

bool TMemoryCatchUp::WaitForIdleLine(const TRun& run) {
  std::unique_lock lock(mutex_);
  while (!run.Stopped && callInProgress_) {
    const auto giveUp = lastPacket_ + LostEndLimit;
    if (changed_.wait_until(lock, giveUp) == std::cv_status::timeout &&
        std::chrono::steady_clock::now() >= lastPacket_ + LostEndLimit)
      callInProgress_ = false;
  }
  return !run.Stopped;
}
