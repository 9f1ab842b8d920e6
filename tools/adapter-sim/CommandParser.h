#pragma once

#include "PacketEncoder.h"
#include "base/DateTime.h"
#include "base/Exception.h"

#include <optional>
#include <string>
#include <string_view>

constexpr int MemorySlots = 30;

// A line from standard input that cannot be run; the message is shown as is.
class ECommandError : public Exception {
public:
  using Exception::Exception;
};

// One command line, reduced to what the simulator does with it.
struct TSimCommand {
  enum class TKind { Write, Sleep, SetMemory, Unplug, Replug, Quit };
  TKind Kind = TKind::Write;
  std::string Bytes;                   // Write: what goes on the line
  int SleepMs = 0;                     // Sleep
  int Index = 0;                       // SetMemory: slot 1..30
  std::optional<TMemoryRecord> Record; // SetMemory: none = empty slot
};

// Parses one non-blank line. `adapterNow` is the adapter's clock, the default
// date-time of packets that carry one. Throws ECommandError.
TSimCommand ParseCommand(std::string_view line, TDateTime adapterNow);
