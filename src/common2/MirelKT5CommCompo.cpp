#include "common2/MirelKT5CommCompo.h"

#include <deque>
#include <utility>

#include <fmt/printf.h>

#include "common2/DCBObject.h"
#include "common2/EventWatchThread.h"
#include "common2/MirelKT5CommError.h"
#include "platform/TermiosSerialDevice.h"

// Posted deliveries of one open period share this; closing shuts it, so what
// is still queued for the old period is dropped with its copies.
// The calls wait here in order, so that a close can still run them itself.
struct TMirelKT5CommCompo::TDeliveryGate {
  explicit TDeliveryGate(TMirelKT5CommCompo& compo) : Compo(compo) {}
  TMirelKT5CommCompo& Compo;
  std::atomic<bool> Open{true};
  std::mutex Mutex;
  std::deque<std::pair<THandlerCall, bool>> Waiting;

  void Add(THandlerCall call, bool reportFailure) {
    std::lock_guard lock(Mutex);
    Waiting.emplace_back(std::move(call), reportFailure);
  }
  // The oldest call still waiting; false when none is or the gate is shut.
  bool TakeNext(std::pair<THandlerCall, bool>& next) {
    std::lock_guard lock(Mutex);
    if (!Open || Waiting.empty())
      return false;
    next = std::move(Waiting.front());
    Waiting.pop_front();
    return true;
  }
  void RunNext() {
    std::pair<THandlerCall, bool> next;
    if (TakeNext(next))
      Compo.RunHandler(next.first, next.second);
  }
};

std::string SerialDevicePath(const std::string& portName) {
  if (!portName.empty() && portName.front() == '/')
    return portName;
  return "/dev/" + portName;
}

TMirelKT5CommCompo::TMirelKT5CommCompo(TPostTargetPtr postTarget,
                                       TSerialDeviceFactory deviceFactory)
    : postTarget_(std::move(postTarget)),
      deviceFactory_(deviceFactory ? std::move(deviceFactory) : OpenTermiosDevice),
      gate_(std::make_shared<TDeliveryGate>(*this)) {}

TMirelKT5CommCompo::~TMirelKT5CommCompo() {
  destroying_ = true;
  Close();
  ReleaseStoppedPort();
  ReplaceGate(false);
}

void TMirelKT5CommCompo::SetActive(bool value) {
  if (value == active_)
    return;
  if (value)
    Open();
  else
    Close();
}

void TMirelKT5CommCompo::SetPortName(const std::string& value) {
  if (value == portName_)
    return;
  if (active_)
    throw MakeCommError(CommErrorCode::ChangedWhileOpen);
  portName_ = value;
}

void TMirelKT5CommCompo::Open() {
  if (active_)
    return;
  ReleaseStoppedPort();
  asyncNow_ = asyncHandling_;
  if (!asyncNow_ && !postTarget_)
    throw Exception("MirelKT5CommCompo: no post target for the owner's handlers");
  {
    std::lock_guard lock(lock_);
    buffer_.Clear();
  }
  Trace("***回線オープン***");
  int error = 0;
  TSerialDevicePtr device = deviceFactory_(SerialDevicePath(portName_), error);
  if (!device)
    throw MakeOpenError(portName_, static_cast<uint32_t>(error));
  if (const int rc = device->Configure(BuildAdapterDcb()); rc != 0)
    Trace("SetCommState", static_cast<uint32_t>(rc));
  {
    std::lock_guard lock(lock_);
    device_ = std::move(device);
  }
  PurgeQueues();
  busy_ = false;
  terminated_ = false;
  watchThread_ = std::make_unique<TEventWatchThread>(*this, *device_);
  active_ = true;
}

void TMirelKT5CommCompo::Close() {
  Shut(false);
}

void TMirelKT5CommCompo::CloseAfterPending() {
  Shut(!InHandler());
}

void TMirelKT5CommCompo::Shut(bool handOnRead) {
  if (!active_)
    return;
  Trace("***回線クローズ***");
  // No exchange starts from here on; one running on another thread ends
  // before the device goes, since both hold the lock.
  active_ = false;
  StopWatchThread();
  if (!watchThread_) {
    std::lock_guard lock(lock_);
    if (handOnRead)
      PassOnWaitingPackets();
    PurgeQueues();
    if (const int rc = device_->Close(); rc != 0)
      Trace("CloseHandle", static_cast<uint32_t>(rc));
    device_.reset();
  }
  if (handOnRead)
    RunWaitingDeliveries();
  ReplaceGate(true);
}

// On the owner's thread: what the watch thread read and posted runs now, in
// order, instead of being dropped with the gate.
void TMirelKT5CommCompo::RunWaitingDeliveries() {
  const std::shared_ptr<TDeliveryGate> gate = CurrentGate();
  std::pair<THandlerCall, bool> next;
  while (gate->TakeNext(next))
    RunHandler(next.first, next.second);
}

// What is still queued for this open period is dropped; what comes after
// (trace lines of calls on the closed port) gets a new gate, unless the
// component is going.
void TMirelKT5CommCompo::ReplaceGate(bool reopen) {
  std::lock_guard lock(gateMutex_);
  gate_->Open = false;
  if (reopen)
    gate_ = std::make_shared<TDeliveryGate>(*this);
}

std::shared_ptr<TMirelKT5CommCompo::TDeliveryGate> TMirelKT5CommCompo::CurrentGate() {
  std::lock_guard lock(gateMutex_);
  return gate_;
}

void TMirelKT5CommCompo::StopWatchThread() {
  terminated_ = true;
  { std::lock_guard lock(idleMutex_); }
  idle_.notify_all();
  device_->Wake();
  // A handler running on the watch thread may close the port: the thread then
  // ends by itself and the port is released by the next Open or destruction.
  if (watchThread_->IsCurrentThread())
    return;
  watchThread_.reset();
}

void TMirelKT5CommCompo::ReleaseStoppedPort() {
  if (!watchThread_ || active_)
    return;
  if (watchThread_->IsCurrentThread())
    throw Exception("MirelKT5CommCompo: the port cannot be reopened from its own watch thread");
  watchThread_.reset();
  std::lock_guard lock(lock_);
  device_->Purge();
  device_->Close();
  device_.reset();
}

void TMirelKT5CommCompo::PurgeQueues() {
  if (const int rc = device_->Purge(); rc != 0)
    Trace("PurgeComm", static_cast<uint32_t>(rc));
}

int TMirelKT5CommCompo::InQueueSize() {
  int count = 0;
  if (const int rc = device_ ? device_->InQueue(count) : EBADF; rc != 0)
    Trace("ClearCommError", static_cast<uint32_t>(rc));
  return count;
}

int TMirelKT5CommCompo::OutQueueSize() {
  int count = 0;
  if (const int rc = device_ ? device_->OutQueue(count) : EBADF; rc != 0)
    Trace("ClearCommError", static_cast<uint32_t>(rc));
  return count;
}

bool TMirelKT5CommCompo::IsCtsOn() {
  bool on = false;
  if (const int rc = device_ ? device_->Cts(on) : EBADF; rc != 0) {
    Trace("GetCommModemStatus", static_cast<uint32_t>(rc));
    return false;
  }
  return on;
}

bool TMirelKT5CommCompo::CheckModemStatus() {
  return active_ && device_->IsPresent();
}

// --- event paths ---

void TMirelKT5CommCompo::RunHandler(const THandlerCall& call, bool reportFailure) {
  const THandlerScope scope(handlerDepth_);
  try {
    call(*this);
  } catch (const std::exception& e) {
    if (reportFailure)
      ReportError(e.what());
  } catch (...) {
    if (reportFailure)
      ReportError("unknown exception");
  }
}

void TMirelKT5CommCompo::Deliver(THandlerCall call, bool reportFailure) {
  if (asyncNow_ || !postTarget_) {
    RunHandler(call, reportFailure);
    return;
  }
  const std::shared_ptr<TDeliveryGate> gate = CurrentGate();
  gate->Add(std::move(call), reportFailure);
  postTarget_->Post([gate] { gate->RunNext(); });
}

void TMirelKT5CommCompo::Trace(const std::string& msg, uint32_t code) {
  if (destroying_)
    return;
  if (OnAsyncTrace) {
    try {
      OnAsyncTrace(*this, msg, code);
    } catch (...) {
      // The async handlers' failures are not the port's business.
    }
  }
  if (OnTrace)
    Deliver([msg, code](TMirelKT5CommCompo& self) { self.OnTrace(self, msg, code); }, true);
}

void TMirelKT5CommCompo::ReportError(const std::string& msg) {
  if (OnAsyncError) {
    try {
      OnAsyncError(*this, msg);
    } catch (...) {
    }
  }
  // A failing error handler is not reported again, or it would never end.
  if (OnError)
    Deliver([msg](TMirelKT5CommCompo& self) { self.OnError(self, msg); }, false);
}

void TMirelKT5CommCompo::ReportCommError(uint32_t flags) {
  if (OnAsyncCommError) {
    try {
      OnAsyncCommError(*this, flags);
    } catch (...) {
    }
  }
  if (OnCommError)
    Deliver([flags](TMirelKT5CommCompo& self) { self.OnCommError(self, flags); }, true);
}

template <typename Packet, typename Handler>
void TMirelKT5CommCompo::DispatchPacket(const Handler& handler, std::span<const uint8_t> chunk) {
  if (!handler)
    return;
  Packet packet;
  std::copy(chunk.begin(), chunk.end(), packet.begin());
  Deliver(
      [packet, handler = &handler](TMirelKT5CommCompo& self) {
        if (*handler)
          (*handler)(self, packet);
      },
      true);
}

void TMirelKT5CommCompo::DispatchChunk(std::span<const uint8_t> chunk) {
  if (chunk.front() != Stx)
    return;
  switch (chunk.size()) {
  case PhoneNumberPacketSize:
    Trace("着信情報Paket");
    DispatchPacket<TPhoneNumberPacket>(OnPhoneDetect, chunk);
    break;
  case KyokuseiHantenPacketSize:
    Trace("極性反転Paket");
    DispatchPacket<TKyokuseiHantenPacket>(OnKyokuseiHanten, chunk);
    break;
  case OnOffHookEtcPacketSize:
    Trace("フック等のPaket");
    DispatchPacket<TOnOffHookEtcPacket>(OnOnOffHookEtc, chunk);
    break;
  default:
    break;
  }
}

// --- receive step ---

TMirelKT5CommCompo::TReceiveResult TMirelKT5CommCompo::ReceiveStep(bool cts) {
  Trace(cts ? "***ＣＴＳオン***" : "***ＣＴＳオフ***");
  if (busy_) {
    Trace("メモリ読み出し、またはメモリ書き出し実行中");
    return TReceiveResult::Skipped;
  }
  std::lock_guard lock(lock_);
  Trace(fmt::sprintf("INキューサイズ : %d", InQueueSize()));
  const bool received = ReadDriverQueue();
  DispatchBuffered();
  return received ? TReceiveResult::Received : TReceiveResult::Empty;
}

// Moves what the driver holds (at most 1024 bytes) into the framing buffer.
// Without a trace line: an exchange asks every few milliseconds.
bool TMirelKT5CommCompo::ReadDriverQueue() {
  const int waiting = InQueueSize();
  if (waiting <= 0)
    return false;
  std::array<uint8_t, TReceiveBuffer::MaxRead> incoming;
  const size_t count = std::min<size_t>(static_cast<size_t>(waiting), incoming.size());
  ReadOverlapped(std::span(incoming.data(), count));
  buffer_.Append(std::span(incoming.data(), count));
  return true;
}

void TMirelKT5CommCompo::DispatchBuffered() {
  std::array<uint8_t, TReceiveBuffer::Capacity> chunk;
  while (const size_t length = buffer_.TakeChunk(chunk)) {
    Trace("パケット読み込み");
    DispatchChunk(std::span(chunk.data(), length));
  }
}

bool TMirelKT5CommCompo::ReadCtsForEvent() {
  bool on = false;
  return device_->Cts(on) == 0 && on;
}

void TMirelKT5CommCompo::WaitWhileBusy() {
  std::unique_lock lock(idleMutex_);
  idle_.wait(lock, [this] { return !busy_ || terminated_; });
}
