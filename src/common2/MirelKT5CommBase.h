#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>

#include "base/DateTime.h"
#include "common2/KT5EventArgs.h"
#include "common2/MirelKT5ReceivePacket.h"

class TMirelKT5CommBase;

using TKT5TraceEvent =
    std::function<void(TMirelKT5CommBase& sender, const IKT5TraceEventArgs& args)>;
using TKT5ClosedEvent =
    std::function<void(TMirelKT5CommBase& sender, const IKT5ClosedEventArgs& args)>;
using TKT5MirelEvent =
    std::function<void(TMirelKT5CommBase& sender, const IKT5MirelEventArgs& args)>;
using TKT5GroupEvent =
    std::function<void(TMirelKT5CommBase& sender, const IKT5GroupEventArgs& args)>;

// A session with a caller-ID source (the adapter, or the caller simulator):
// the operations each source implements, and the grouping of its packets
// into calls, which every source shares.
class TMirelKT5CommBase {
public:
  TMirelKT5CommBase() = default;
  virtual ~TMirelKT5CommBase() = default;
  TMirelKT5CommBase(const TMirelKT5CommBase&) = delete;
  TMirelKT5CommBase& operator=(const TMirelKT5CommBase&) = delete;

  virtual bool IsOpen() = 0;
  virtual void Open() = 0;
  virtual void Close(bool silent) = 0;
  virtual void ReadMemory(uint8_t index, IKT5MirelKT5ReceivePacket& packet) = 0;
  virtual void SetDateTime(TDateTime value) = 0;

  TKT5TraceEvent OnTrace;
  TKT5ClosedEvent OnClosed;
  TKT5MirelEvent OnMirel;
  TKT5GroupEvent OnGroup;
  std::string PortName;

  int32_t CurrentGroupNo() const { return currentGroupNo_; }
  const TKT5GroupEventArgs& Group() const { return group_; }

protected:
  // Advances the current call group by one decoded packet and raises OnMirel
  // and OnGroup.
  void HandlePacket(const TKT5MirelKT5ReceivePacket& packet);
  // Completes a group that ended without its closing packet (a new group
  // began, or the port was lost).
  void FinishGroup();
  void RaiseTrace(uint8_t level, const std::string& message,
                  const std::string& exceptionMessage = {});
  void RaiseClosed(bool forced);

private:
  void RaiseGroup();
  void GroupEnd();
  void UpdateGroup(const TKT5MirelKT5ReceivePacket& packet, TDateTime receivedAt,
                   int64_t monotonicMs);
  void RaiseMirel(const TKT5MirelKT5ReceivePacket& packet, TDateTime receivedAt);

  int32_t currentGroupNo_ = 0;
  TKT5GroupEventArgs group_;
  // When the current group started, its number came and it was answered, on
  // the monotonic clock: the ring and talk seconds are counted from these,
  // the dates of the group from the wall clock.
  struct TGroupMoments {
    std::optional<int64_t> Start, Number, OffHook;
  };
  TGroupMoments since_;
};

// The process-wide group counter: returns its value and counts up, so group
// numbers stay unique across the device and simulator sessions.
int32_t TakeGroupNo();
