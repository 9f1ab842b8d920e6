#pragma once

#include "DeviceResponder.h"

#include <optional>
#include <string_view>

// Keeps the calls the adapter plays, as a real adapter does: a call goes
// into its memory, newest first, once it is answered or ends unanswered,
// with both date-times as they went on the line.
class TCallMemory {
public:
  explicit TCallMemory(TDeviceResponder& responder) : responder_(responder) {}
  // Bytes the adapter puts on the line: whole packets, possibly several.
  void Played(std::string_view bytes);

private:
  void Packet(std::string_view packet);

  TDeviceResponder& responder_;
  // The caller number of the call in progress.
  std::optional<TMemoryRecord> call_;
};
