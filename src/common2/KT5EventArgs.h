#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/DateTime.h"
#include "common2/MirelKT5ReceivePacket.h"

// Arguments of the session's events. Every event hands out its own object.

class TKT5TraceEventArgs {
public:
  static constexpr uint8_t LevelTrace = 0;
  static constexpr uint8_t LevelError = 2;

  uint8_t Level = 0;
  std::string Message;
  std::string ExceptionMessage; // empty when no exception caused the line
};
using IKT5TraceEventArgs = std::shared_ptr<TKT5TraceEventArgs>;

class TKT5ClosedEventArgs {
public:
  bool Forced = false; // the session ended because the port failed
};
using IKT5ClosedEventArgs = std::shared_ptr<TKT5ClosedEventArgs>;

class TKT5MirelEventArgs {
public:
  int32_t GroupNo = 0;
  TDateTime ReceivedAt = 0;
  IKT5MirelKT5ReceivePacket Packet;
};
using IKT5MirelEventArgs = std::shared_ptr<TKT5MirelEventArgs>;

class TKT5GroupEventArgs;
using IKT5GroupEventArgs = std::shared_ptr<TKT5GroupEventArgs>;

// The state of one call group: which packets arrived, when, and what they
// said; PacketKind is the kind of the latest change (7 = group end).
class TKT5GroupEventArgs {
public:
  uint8_t PacketKind = 0;
  int32_t GroupNo = 0;
  bool KyokuseiHantenReceived = false;
  TDateTime KyokuseiHantenAt = 0;
  bool NumberReceived = false;
  TDateTime IncomingDateTime = 0;
  TDateTime NumberReceivedAt = 0;
  std::string PhoneNumber;
  uint8_t NumberKind = 0;
  bool OffHookReceived = false;
  TDateTime OffHookDateTime = 0;
  TDateTime OffHookReceivedAt = 0;
  int32_t RingSeconds = 0;
  bool OnHookReceived = false;
  TDateTime OnHookDateTime = 0;
  TDateTime OnHookReceivedAt = 0;
  int32_t TalkSeconds = 0;
  bool UnansweredReceived = false;
  TDateTime UnansweredDateTime = 0;
  TDateTime UnansweredReceivedAt = 0;

  // Resets kind, number, flags and date-times; the number text, its kind and
  // the two durations stay until the new group sets them.
  void Clear();
  void AssignTo(TKT5GroupEventArgs& other) const;
  IKT5GroupEventArgs Clone() const;
};
