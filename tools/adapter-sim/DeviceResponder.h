#pragma once

#include "PacketEncoder.h"
#include "base/DateTime.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The adapter's side of the command exchanges: frames what the host sends,
// names each command for the log and builds its reply from the stored calls.
class TDeviceResponder {
public:
  struct TReceived {
    std::string Line;  // "recv M 01", "recv ? 41 03", ...
    std::string Reply; // bytes to send back after the reply delay; may be empty
  };

  // Takes bytes from the line; returns one entry per complete command.
  std::vector<TReceived> Feed(std::string_view bytes);
  // Slot 1..30; no record empties it.
  void SetRecord(int index, std::optional<TMemoryRecord> record);
  // A new call in slot 1: the others move down, the oldest of 30 goes.
  void Store(TMemoryRecord record);
  // The adapter's clock: the PC's clock until the host sets it.
  TDateTime AdapterNow() const;
  // Bytes of an unfinished command are forgotten, as when the line drops.
  void ClearInput() { pending_.clear(); }

private:
  TReceived Interpret(std::string_view command);
  TMemoryRecord Record(std::string_view digits) const;
  void SetClock(std::string_view digits);

  std::string pending_;
  std::array<std::optional<TMemoryRecord>, 30> memory_;
  double clockOffset_ = 0; // days added to the PC's clock
};
