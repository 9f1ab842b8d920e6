#pragma once

#include <cstdint>
#include <string>

#include "base/Exception.h"

// Failures of a device session's operations.
namespace CommErrorKind {
constexpr uint8_t OpenFailed = 2;
constexpr uint8_t NoPort = 3;
constexpr uint8_t ReadMemoryFailed = 5;
constexpr uint8_t SetDateTimeFailed = 8;
} // namespace CommErrorKind

class EMirelKT5CommException : public Exception {
public:
  EMirelKT5CommException(uint8_t errorKind, std::string message, std::string detail = {})
      : Exception(std::move(message)), ErrorKind(errorKind), Detail(std::move(detail)) {}

  uint8_t ErrorKind;
  std::string Detail; // the message of the failure that caused this one
};
