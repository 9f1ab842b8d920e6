#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/SerialDevice.h"

// The scripted line behind fake serial devices: what the adapter sends, CTS,
// failures, stalls and hang-ups. Shared by the test and the device the
// component opens through Factory(); every member is thread-safe.
class TFakeSerialLine : public std::enable_shared_from_this<TFakeSerialLine> {
public:
  using TBytes = std::vector<uint8_t>;
  // Called after each write with the bytes written; may script a reply.
  using TWriteHook = std::function<void(TFakeSerialLine& line, const TBytes& written)>;

  static std::shared_ptr<TFakeSerialLine> Create() {
    return std::shared_ptr<TFakeSerialLine>(new TFakeSerialLine);
  }
  TSerialDeviceFactory Factory();

  // The adapter's side.
  void Receive(std::span<const uint8_t> bytes);
  void Receive(std::string_view bytes);
  void ReceiveAfter(std::chrono::milliseconds delay, std::string_view bytes);
  void SetCts(bool on);
  void SetWriteHook(TWriteHook hook);

  // Failures.
  void FailOpen(int error);
  void FailConfigure(int error);
  void FailQueueCounts(int error);
  // The next read hands out at most `count` bytes; the rest is held back
  // (reads find nothing, waits time out) until the next Receive.
  void ShortRead(size_t count);
  // Written bytes stay in the send queue (CTS flow control holding them).
  void StallWrites(bool stalled);
  // The device is gone: waits fail with EIO, presence is false.
  void HangUp();
  // Waits ignore received bytes, so a test can drive the receive step itself.
  void HoldEvents(bool held);

  // What happened.
  TBytes Written() const;
  std::vector<TBytes> Writes() const;
  std::string OpenedPath() const;
  int OpenCount() const;
  int PurgeCount() const;
  bool DeviceOpen() const;
  bool Waiting() const;
  int WaitCount() const;
  size_t InQueueBytes() const;

private:
  friend class TFakeSerialDevice;
  TFakeSerialLine() = default;
  void MoveDueLocked();
  bool InputVisibleLocked() const;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<uint8_t> input_;
  std::vector<std::pair<std::chrono::steady_clock::time_point, TBytes>> delayed_;
  std::vector<TBytes> writes_;
  TWriteHook writeHook_;
  std::string openedPath_;
  bool cts_ = true;
  bool stalled_ = false;
  size_t stalledBytes_ = 0;
  bool hungUp_ = false;
  bool held_ = false;
  bool withholding_ = false;
  size_t shortRead_ = 0;
  int openError_ = 0;
  int configureError_ = 0;
  int queueError_ = 0;
  int openCount_ = 0;
  int purgeCount_ = 0;
  bool deviceOpen_ = false;
  bool waiting_ = false;
  int waitCount_ = 0;
  uint64_t wakes_ = 0;
};

using TFakeSerialLinePtr = std::shared_ptr<TFakeSerialLine>;

// Packet builders for tests.
namespace FakePackets {
std::string PhoneNumber(std::string_view dateTime, std::string_view number);
std::string KyokuseiHanten();
std::string Hook(std::string_view dateTime, std::string_view letters);
std::string MemoryRecord(std::string_view incoming, std::string_view number, std::string_view event,
                         std::string_view letters);
} // namespace FakePackets
