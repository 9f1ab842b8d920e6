#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "base/DateTime.h"
#include "base/PostTarget.h"
#include "common2/PacketRecords.h"
#include "common2/ReceiveBuffer.h"
#include "platform/SerialDevice.h"

class TMirelKT5CommCompo;
class TEventWatchThread;

using TPhoneDetectEvent =
    std::function<void(TMirelKT5CommCompo& sender, const TPhoneNumberPacket& packet)>;
using TKyokuseiHantenEvent =
    std::function<void(TMirelKT5CommCompo& sender, const TKyokuseiHantenPacket& packet)>;
using TOnOffHookEtcEvent =
    std::function<void(TMirelKT5CommCompo& sender, const TOnOffHookEtcPacket& packet)>;
using TCommErrorEvent = std::function<void(TMirelKT5CommCompo& sender, uint32_t dwError)>;
using TErrorEvent = std::function<void(TMirelKT5CommCompo& sender, const std::string& msg)>;
using TTraceEvent =
    std::function<void(TMirelKT5CommCompo& sender, const std::string& msg, uint32_t win32ErrCode)>;

// "ttyUSB0" → "/dev/ttyUSB0"; a path is kept as it is.
std::string SerialDevicePath(const std::string& portName);

// Owns one serial port for the caller-ID adapter: opens and configures it,
// watches it on its own thread, frames received packets and delivers them,
// with errors and trace lines, to its owner; runs the adapter's commands.
//
// With AsyncHandling false (the default) handlers run on the thread behind the
// post target given by the owner (the thread that opens the port), in the
// order things happened; deliveries still queued when the port closes are
// dropped. With AsyncHandling true they run at once on the watch thread. The
// OnAsync… handlers always run at once on the thread that raised them.
// Handlers are assigned before Open and not changed while open.
class TMirelKT5CommCompo {
public:
  explicit TMirelKT5CommCompo(TPostTargetPtr postTarget = nullptr,
                              TSerialDeviceFactory deviceFactory = nullptr);
  ~TMirelKT5CommCompo();
  TMirelKT5CommCompo(const TMirelKT5CommCompo&) = delete;
  TMirelKT5CommCompo& operator=(const TMirelKT5CommCompo&) = delete;

  bool Active() const { return active_; }
  void SetActive(bool value);
  const std::string& PortName() const { return portName_; }
  // Raises 0x110 when the name changes while the port is open.
  void SetPortName(const std::string& value);
  bool AsyncHandling() const { return asyncHandling_; }
  // Takes effect at the next Open.
  void SetAsyncHandling(bool value) { asyncHandling_ = value; }
  void SetPostTarget(TPostTargetPtr target) { postTarget_ = std::move(target); }

  void Open();
  // Drops what was read but not yet handed to the handlers.
  void Close();
  // On the owner's thread: first hands every packet already read (what
  // waits in the driver's queue too) to its handler, in order, so that a
  // call read just before the program ends is not lost. Called from inside
  // a handler it closes as Close does.
  void CloseAfterPending();
  // A handler of this component runs on the calling thread's stack.
  bool InHandler() const { return handlerDepth_ > 0; }

  int InQueueSize();
  int OutQueueSize();
  bool IsCtsOn();
  // False when closed, hung up or the device node has gone; never traces.
  bool CheckModemStatus();

  // The adapter's command exchanges; they raise EMirelKT5CommError.
  void ReadMemory(uint8_t index, TPhoneNumberPacket& reply);
  void ReadMemoryMT(uint8_t index, TMemoryRecordPacket& reply);
  void WriteDateTime(TDateTime value);

  // The receive step the watch thread runs for each port event: takes what
  // the driver holds (at most 1024 bytes), frames it and dispatches each
  // packet. Skipped while a command exchange owns the port.
  enum class TReceiveResult { Skipped, Empty, Received };
  TReceiveResult ReceiveStep(bool cts);

  TPhoneDetectEvent OnPhoneDetect;
  TKyokuseiHantenEvent OnKyokuseiHanten;
  TOnOffHookEtcEvent OnOnOffHookEtc;
  TCommErrorEvent OnCommError;
  TErrorEvent OnError;
  TTraceEvent OnTrace;
  TCommErrorEvent OnAsyncCommError;
  TErrorEvent OnAsyncError;
  TTraceEvent OnAsyncTrace;

private:
  friend class TEventWatchThread;
  struct TDeliveryGate;
  using THandlerCall = std::function<void(TMirelKT5CommCompo&)>;

  // Event paths.
  void Trace(const std::string& msg, uint32_t code = 0);
  void ReportError(const std::string& msg);
  void ReportCommError(uint32_t flags);
  void Deliver(THandlerCall call, bool reportFailure);
  std::shared_ptr<TDeliveryGate> CurrentGate();
  void ReplaceGate(bool reopen);
  void RunHandler(const THandlerCall& call, bool reportFailure);
  void RunWaitingDeliveries();
  void Shut(bool handOnRead);
  struct THandlerScope {
    explicit THandlerScope(std::atomic<int>& depth) : Depth(depth) { ++Depth; }
    ~THandlerScope() { --Depth; }
    THandlerScope(const THandlerScope&) = delete;
    THandlerScope& operator=(const THandlerScope&) = delete;
    std::atomic<int>& Depth;
  };
  template <typename Packet, typename Handler>
  void DispatchPacket(const Handler& handler, std::span<const uint8_t> chunk);
  void DispatchChunk(std::span<const uint8_t> chunk);

  // Port primitives for the receive step and the exchanges.
  void PurgeQueues();
  bool WriteOverlapped(std::span<const uint8_t> data);
  void ReadOverlapped(std::span<uint8_t> data);
  void RunMemoryRead(std::span<const uint8_t> command, std::span<uint8_t> reply, bool extended);
  bool ReceiveReply(std::span<uint8_t> reply);
  void WaitForInput(std::chrono::steady_clock::time_point deadline);
  // With the lock held: driver queue → framing buffer → handlers.
  bool ReadDriverQueue();
  void DispatchBuffered();
  void PassOnWaitingPackets();
  void SendCommand(std::span<const uint8_t> command, uint32_t timeoutCode);
  void EndExchange();
  void RequireOpen() const;
  // Inside an exchange, with the lock held: the port may have closed meanwhile.
  void RequireDevice() const;

  // Watch thread support.
  bool ReadCtsForEvent();
  void WaitWhileBusy();
  void StopWatchThread();
  void ReleaseStoppedPort();

  std::string portName_ = "ttyS0";
  bool asyncHandling_ = false;
  // Read by a thread running an exchange while the owner may close the port.
  std::atomic<bool> active_{false};
  // Read by every thread that traces, while the owner may open the port.
  std::atomic<bool> asyncNow_{false};
  std::atomic<bool> destroying_{false};
  // Handlers running (owner's thread, or the watch thread when async).
  std::atomic<int> handlerDepth_{0};
  TPostTargetPtr postTarget_;
  TSerialDeviceFactory deviceFactory_;
  // Set and reset by the owner with the lock held, which an exchange on
  // another thread holds while it uses the device.
  TSerialDevicePtr device_;
  std::unique_ptr<TEventWatchThread> watchThread_;
  // Copied by every delivery (any thread), replaced by Close (the owner's).
  std::mutex gateMutex_;
  std::shared_ptr<TDeliveryGate> gate_;

  std::recursive_mutex lock_;
  std::atomic<bool> busy_{false};
  std::atomic<bool> terminated_{false};
  std::mutex idleMutex_;
  std::condition_variable idle_;
  TReceiveBuffer buffer_;
};
