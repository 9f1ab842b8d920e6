#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/DateTime.h"
#include "common2/PacketRecords.h"

// What a decoded packet reports.
namespace PacketKind {
constexpr uint8_t KyokuseiHanten = 1; // polarity reversal
constexpr uint8_t PhoneNumber = 2;    // caller number
constexpr uint8_t OffHook = 3;
constexpr uint8_t OnHook = 4;
constexpr uint8_t Unanswered = 5;
constexpr uint8_t MemoryRecord = 6;
constexpr uint8_t GroupEnd = 7; // only in call-group arguments
} // namespace PacketKind

class TKT5MirelKT5ReceivePacket;
using IKT5MirelKT5ReceivePacket = std::shared_ptr<TKT5MirelKT5ReceivePacket>;

// One decoded adapter packet. Holders never share one: every event hands out
// its own Clone().
class TKT5MirelKT5ReceivePacket {
public:
  uint8_t PacketKind = 0;
  TDateTime IncomingDateTime = 0;
  std::string PhoneNumber;
  uint8_t NumberKind = 0;
  TDateTime EventDateTime = 0;
  bool NoDateTime = false;
  bool Answered = false;
  bool Unanswered = false;

  IKT5MirelKT5ReceivePacket Clone() const;
};

IKT5MirelKT5ReceivePacket NewReceivePacket();

// Raw records into packets. A hook packet with letters other than "OF", "ON"
// and "UR" decodes to null.
IKT5MirelKT5ReceivePacket DecodeKyokuseiHanten(const TKyokuseiHantenPacket& raw);
IKT5MirelKT5ReceivePacket DecodePhoneNumber(const TPhoneNumberPacket& raw);
IKT5MirelKT5ReceivePacket DecodeOnOffHookEtc(const TOnOffHookEtcPacket& raw);
IKT5MirelKT5ReceivePacket DecodeMemoryRecord(const TMemoryRecordPacket& raw);
