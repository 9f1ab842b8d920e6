// The adapter's command exchanges, run on the caller's thread while the
// receive step keeps away from the port.
#include <array>
#include <chrono>
#include <thread>

#include <fmt/printf.h>

#include "common2/MirelKT5CommCompo.h"
#include "common2/MirelKT5CommError.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto ExchangeTimeout = std::chrono::milliseconds(1000);
constexpr auto PollInterval = std::chrono::milliseconds(10);

// Polls `done` every 10 ms until it holds or the timeout has passed.
template <typename Done> void PollUntil(Done done) {
  const auto deadline = Clock::now() + ExchangeTimeout;
  while (!done() && Clock::now() < deadline)
    std::this_thread::sleep_for(PollInterval);
}

int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

char Digit(int value) {
  return static_cast<char>('0' + value);
}

// Clears the busy flag, releases the lock and writes the closing line however
// the exchange ends.
class TExchangeScope {
public:
  TExchangeScope(std::recursive_mutex& lock, std::atomic<bool>& busy, std::function<void()> onEnd)
      : guard_(lock), busy_(busy), onEnd_(std::move(onEnd)) {
    busy_ = true;
  }
  ~TExchangeScope() {
    busy_ = false;
    guard_.unlock();
    onEnd_();
  }
  TExchangeScope(const TExchangeScope&) = delete;
  TExchangeScope& operator=(const TExchangeScope&) = delete;

private:
  std::unique_lock<std::recursive_mutex> guard_;
  std::atomic<bool>& busy_;
  std::function<void()> onEnd_;
};

} // namespace

void TMirelKT5CommCompo::RequireOpen() const {
  if (!active_)
    throw MakeCommError(CommErrorCode::NotOpen);
}

void TMirelKT5CommCompo::RequireDevice() const {
  if (!active_ || !device_)
    throw MakeCommError(CommErrorCode::NotOpen);
}

void TMirelKT5CommCompo::EndExchange() {
  { std::lock_guard lock(idleMutex_); }
  idle_.notify_all();
}

bool TMirelKT5CommCompo::WriteOverlapped(std::span<const uint8_t> data) {
  size_t written = 0;
  const auto deadline = Clock::now() + ExchangeTimeout;
  while (written < data.size()) {
    size_t done = 0;
    if (const int rc = device_->Write(data.data() + written, data.size() - written, done); rc != 0)
      throw MakeCommError(CommErrorCode::WriteFailed, static_cast<uint32_t>(rc));
    written += done;
    if (written == data.size())
      break;
    // The driver's buffer is full: give it the rest as room appears.
    const int wait = device_->WaitReady(true, RemainingMs(deadline));
    if (wait != 0 || Clock::now() >= deadline) {
      if (wait != 0 && wait != ETIMEDOUT)
        throw MakeCommError(CommErrorCode::WriteFailed, static_cast<uint32_t>(wait));
      throw MakeCountError(CommErrorCode::ShortWrite, static_cast<int>(data.size()),
                           static_cast<int>(written));
    }
  }
  // Accepted is not sent: the write is complete once the send queue is empty.
  int queued = 0;
  return device_->OutQueue(queued) == 0 && queued == 0;
}

void TMirelKT5CommCompo::ReadOverlapped(std::span<uint8_t> data) {
  size_t got = 0;
  bool pendingTraced = false;
  const auto deadline = Clock::now() + ExchangeTimeout;
  while (true) {
    size_t done = 0;
    if (const int rc = device_->Read(data.data() + got, data.size() - got, done); rc != 0)
      throw MakeCommError(CommErrorCode::ReadFailed, static_cast<uint32_t>(rc));
    got += done;
    if (got == data.size())
      return;
    if (!pendingTraced) {
      Trace("重複したI/O処理を実行中(R)");
      pendingTraced = true;
    }
    const int wait = device_->WaitReady(false, RemainingMs(deadline));
    if (wait == ETIMEDOUT || (wait == 0 && Clock::now() >= deadline))
      throw MakeCountError(CommErrorCode::ShortRead, static_cast<int>(data.size()),
                           static_cast<int>(got));
    if (wait != 0)
      throw MakeCommError(CommErrorCode::ReadFailed, static_cast<uint32_t>(wait));
  }
}

void TMirelKT5CommCompo::SendCommand(std::span<const uint8_t> command, uint32_t timeoutCode) {
  if (!WriteOverlapped(command))
    PollUntil([this] { return OutQueueSize() <= 0; });
  if (const int queued = OutQueueSize(); queued > 0) {
    Trace(fmt::sprintf("送信タイムアウト発生（OutQueSize=%d）", queued));
    throw MakeCommError(timeoutCode);
  }
}

// Packets already waiting are the line's, not a reply: an exchange hands them
// on instead of discarding them with the driver's queues.
void TMirelKT5CommCompo::PassOnWaitingPackets() {
  ReadDriverQueue();
  DispatchBuffered();
}

// Waits up to one poll interval for input, waking at once when bytes arrive.
void TMirelKT5CommCompo::WaitForInput(std::chrono::steady_clock::time_point deadline) {
  const auto sliceEnd = std::min(deadline, Clock::now() + PollInterval);
  if (device_->WaitReady(false, RemainingMs(sliceEnd)) != 0)
    std::this_thread::sleep_until(sliceEnd);
}

// Frames what arrives until a chunk of the reply's length comes; every other
// packet goes on to its handler exactly as the receive step would send it, so
// a call that rings during a memory read is not lost.
bool TMirelKT5CommCompo::ReceiveReply(std::span<uint8_t> reply) {
  const auto deadline = Clock::now() + ExchangeTimeout;
  std::array<uint8_t, TReceiveBuffer::Capacity> chunk;
  while (true) {
    ReadDriverQueue();
    while (const size_t length = buffer_.TakeChunk(chunk)) {
      if (length == reply.size() && chunk[0] == Stx) {
        std::copy_n(chunk.begin(), length, reply.begin());
        DispatchBuffered();
        return true;
      }
      DispatchChunk(std::span(chunk.data(), length));
    }
    if (Clock::now() >= deadline)
      return false;
    WaitForInput(deadline);
  }
}

void TMirelKT5CommCompo::RunMemoryRead(std::span<const uint8_t> command, std::span<uint8_t> reply,
                                       bool extended) {
  RequireOpen();
  Trace("***MirelRX2メモリ読み出し開始***");
  TExchangeScope scope(lock_, busy_, [this] {
    EndExchange();
    Trace("***MirelRX2メモリ読み出し終了***");
  });
  RequireDevice();
  PassOnWaitingPackets();
  if (!IsCtsOn()) {
    Trace("CTSがOFFのためメモリ読み出しできません。");
    throw MakeCommError(CommErrorCode::CtsOff);
  }
  Trace("メモリ読み出しコマンド送信");
  SendCommand(command, CommErrorCode::MemorySendTimeout);
  if (!ReceiveReply(reply)) {
    const int waiting = buffer_.Count() + InQueueSize();
    Trace(fmt::sprintf("受信タイムアウトまたは受信データ異常発生（InQueSize=%d）", waiting));
    throw MakeCommError(CommErrorCode::MemoryReceiveTimeout);
  }
  Trace(extended ? "受信キューから電話番号パケットの読み込み(MT)"
                 : "受信キューから電話番号パケットの読み込み");
}

void TMirelKT5CommCompo::ReadMemory(uint8_t index, TPhoneNumberPacket& reply) {
  const std::array<uint8_t, 5> command = {Stx, 'M', static_cast<uint8_t>(Digit(index / 10 % 10)),
                                          static_cast<uint8_t>(Digit(index % 10)), Etx};
  RunMemoryRead(command, reply, false);
}

void TMirelKT5CommCompo::ReadMemoryMT(uint8_t index, TMemoryRecordPacket& reply) {
  const std::array<uint8_t, 6> command = {Stx,
                                          'M',
                                          'T',
                                          static_cast<uint8_t>(Digit(index / 10 % 10)),
                                          static_cast<uint8_t>(Digit(index % 10)),
                                          Etx};
  RunMemoryRead(command, reply, true);
}

void TMirelKT5CommCompo::WriteDateTime(TDateTime value) {
  RequireOpen();
  Trace("***MirelRX2メモリ書き出し開始***");
  const std::string digits = FormatDateTime("yyyymmddhhnn", value);
  std::array<uint8_t, 15> command{};
  command[0] = Stx;
  command[1] = 'C';
  std::copy_n(digits.begin(), std::min<size_t>(digits.size(), 12), command.begin() + 2);
  command[14] = Etx;
  TExchangeScope scope(lock_, busy_, [this] {
    EndExchange();
    Trace("***MirelRX2メモリ書き出し終了***");
  });
  RequireDevice();
  PassOnWaitingPackets();
  if (!IsCtsOn()) {
    Trace("CTSがOFFのためメモリ書き出しできません。");
    throw MakeCommError(CommErrorCode::CtsOff);
  }
  Trace("メモリ書き出しコマンド送信");
  SendCommand(command, CommErrorCode::ClockSendTimeout);
}
