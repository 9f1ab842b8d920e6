#pragma once

#include <cstdint>
#include <string>

#include "base/Exception.h"

// Failures of the port component: ErrCode tells which, W32ErrCode carries the
// operating-system error (errno) or 0.
namespace CommErrorCode {
constexpr uint32_t OpenFailed = 0x101;
constexpr uint32_t ChangedWhileOpen = 0x110;
constexpr uint32_t NotOpen = 0x120;
constexpr uint32_t ShortWrite = 0x201;
constexpr uint32_t WriteFailed = 0x202;
constexpr uint32_t ShortRead = 0x211;
constexpr uint32_t ReadFailed = 0x212;
constexpr uint32_t MemorySendTimeout = 0x301;
constexpr uint32_t MemoryReceiveTimeout = 0x302;
constexpr uint32_t ClockSendTimeout = 0x401;
constexpr uint32_t CtsOff = 0x901;
} // namespace CommErrorCode

class EMirelKT5CommError : public Exception {
public:
  EMirelKT5CommError(uint32_t errCode, std::string message, uint32_t w32ErrCode = 0)
      : Exception(std::move(message)), ErrCode(errCode), W32ErrCode(w32ErrCode) {}

  uint32_t ErrCode;
  uint32_t W32ErrCode;
};

// An error with its fixed message (codes without message fields).
EMirelKT5CommError MakeCommError(uint32_t errCode, uint32_t w32ErrCode = 0);
EMirelKT5CommError MakeOpenError(const std::string& portName, uint32_t w32ErrCode);
// ShortWrite and ShortRead: requested and actual byte counts.
EMirelKT5CommError MakeCountError(uint32_t errCode, int requested, int actual);
