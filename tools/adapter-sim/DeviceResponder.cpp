#include "DeviceResponder.h"

#include "base/Clock.h"

#include <algorithm>
#include <cctype>
#include <fmt/printf.h>

namespace {

// Without an ETX the host's bytes are kept up to this size, then shown as
// unknown so that a stream of noise cannot grow without bound.
constexpr size_t MaxPendingBytes = 256;

bool AreDigits(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

std::string HexText(std::string_view bytes) {
  std::string text;
  for (const char c : bytes)
    text += fmt::sprintf(text.empty() ? "%02X" : " %02X", static_cast<unsigned char>(c));
  return text;
}

TDeviceResponder::TReceived Unknown(std::string_view bytes) {
  return {"recv ? " + HexText(bytes), ""};
}

int Number(std::string_view digits) {
  int value = 0;
  for (const char c : digits)
    value = value * 10 + (c - '0');
  return value;
}

} // namespace

std::vector<TDeviceResponder::TReceived> TDeviceResponder::Feed(std::string_view bytes) {
  pending_ += bytes;
  std::vector<TReceived> received;
  size_t etx;
  while ((etx = pending_.find(Etx)) != std::string::npos) {
    std::string_view chunk = std::string_view(pending_).substr(0, etx + 1);
    // Noise in front of a command is reported on its own; the command after
    // the last STX still counts, as the adapter resynchronises on STX.
    const size_t stx = chunk.rfind(Stx);
    if (stx != std::string_view::npos && stx > 0) {
      received.push_back(Unknown(chunk.substr(0, stx)));
      chunk.remove_prefix(stx);
    }
    received.push_back(Interpret(chunk));
    pending_.erase(0, etx + 1);
  }
  if (pending_.size() > MaxPendingBytes) {
    received.push_back(Unknown(pending_));
    pending_.clear();
  }
  return received;
}

TDeviceResponder::TReceived TDeviceResponder::Interpret(std::string_view command) {
  if (command.front() != Stx)
    return Unknown(command);
  const std::string_view body = command.substr(1, command.size() - 2);
  if (body.size() == 3 && body[0] == 'M' && AreDigits(body.substr(1)))
    return {fmt::sprintf("recv M %s", body.substr(1)), EncodeMemoryReply(Record(body.substr(1)))};
  if (body.size() == 4 && body.substr(0, 2) == "MT" && AreDigits(body.substr(2)))
    return {fmt::sprintf("recv MT %s", body.substr(2)),
            EncodeMemoryReplyMT(Record(body.substr(2)))};
  if (body.size() == 13 && body[0] == 'C' && AreDigits(body.substr(1))) {
    SetClock(body.substr(1));
    return {fmt::sprintf("recv C %s", body.substr(1)), ""};
  }
  return Unknown(command);
}

// Indexes outside the stored range read as empty slots.
TMemoryRecord TDeviceResponder::Record(std::string_view digits) const {
  const int index = Number(digits);
  if (index < 1 || index > static_cast<int>(memory_.size()) || !memory_[index - 1])
    return TMemoryRecord{};
  return *memory_[index - 1];
}

void TDeviceResponder::SetRecord(int index, std::optional<TMemoryRecord> record) {
  memory_.at(index - 1) = std::move(record);
}

void TDeviceResponder::Store(TMemoryRecord record) {
  std::move_backward(memory_.begin(), memory_.end() - 1, memory_.end());
  memory_.front() = std::move(record);
}

TDateTime TDeviceResponder::AdapterNow() const {
  return Now() + clockOffset_;
}

// "yyyymmddhhnn"; a date that does not exist leaves the clock as it was.
void TDeviceResponder::SetClock(std::string_view digits) {
  TDateParts parts;
  parts.Year = Number(digits.substr(0, 4));
  parts.Month = Number(digits.substr(4, 2));
  parts.Day = Number(digits.substr(6, 2));
  parts.Hour = Number(digits.substr(8, 2));
  parts.Minute = Number(digits.substr(10, 2));
  TDateTime value = 0;
  if (TryEncodeDateTime(parts, value))
    clockOffset_ = value - Now();
}
