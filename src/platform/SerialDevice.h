#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/SerialLineSettings.h"

// One open serial device, as the port component uses it. Every operation
// returns 0 or an errno value; the component turns failures into trace lines
// or its own errors. The termios device implements it; tests use a fake.
class ISerialDevice {
public:
  virtual ~ISerialDevice() = default;

  virtual int Configure(const TDcbRecord& dcb) = 0;
  // Discards both driver queues.
  virtual int Purge() = 0;
  // Blocks until input is waiting (0), Wake() was called (ECANCELED) or the
  // device failed or hung up (any other errno).
  virtual int WaitEvent() = 0;
  // Callable from any thread; makes the current or next WaitEvent return.
  virtual void Wake() = 0;
  virtual int InQueue(int& count) = 0;
  virtual int OutQueue(int& count) = 0;
  // Devices without modem lines report CTS on.
  virtual int Cts(bool& on) = 0;
  // Line error flags (CE_* bits) seen since the last call; 0 where unknown.
  virtual int TakeLineErrors(uint32_t& flags) = 0;
  // Non-blocking: `done` bytes moved, possibly fewer than asked, possibly 0.
  virtual int Read(uint8_t* data, size_t count, size_t& done) = 0;
  virtual int Write(const uint8_t* data, size_t count, size_t& done) = 0;
  // Waits up to timeoutMs for the device to become readable or writable;
  // ETIMEDOUT when it did not.
  virtual int WaitReady(bool forWrite, int timeoutMs) = 0;
  // False once the device has hung up or its node has gone.
  virtual bool IsPresent() = 0;
  virtual int Close() = 0;
};

using TSerialDevicePtr = std::unique_ptr<ISerialDevice>;
// Opens `path` exclusively; on failure returns null and sets `error`.
using TSerialDeviceFactory = std::function<TSerialDevicePtr(const std::string& path, int& error)>;

// Windows line error bits, the values the error event carries.
namespace SerialLineError {
constexpr uint32_t Overrun = 0x2;
constexpr uint32_t RxParity = 0x4;
constexpr uint32_t Frame = 0x8;
constexpr uint32_t Break = 0x10;
} // namespace SerialLineError
