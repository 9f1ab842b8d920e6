#pragma once

#include "base/Exception.h"

#include <cstdint>
#include <optional>
#include <string>

// One call event as it travels between stations: what changed (Kind, as the
// adapter reports it: 1 ring, 2 number, 3 off-hook, 4 on-hook, 5 unanswered,
// 7 end), the sender's group number, and what the sender knows of the call.
struct TCallMessage {
  // "<station>-<run>-<count>": unique per message, counted per run of the
  // sender; a message delivered twice has the same.
  std::string Id;
  std::string Station; // the sending PC
  // The sender's run, as in its status ("" from a sender that does not say):
  // group numbers start again in every run.
  std::string Run;
  int Kind = 0;
  // RecoveredGroup for a call recovered from the adapter's memory: no live call.
  int32_t GroupNo = 0;
  std::string PhoneNumber; // empty until the number has arrived
  // The sender's history key (incoming order and date), once it registered the call.
  std::optional<int> IncomingOrder;
  std::optional<std::string> IncomingDate;
  std::string OwnerName;
  std::string Memo1;
  std::string Memo2;
  std::string Memo3;
  int RingSeconds = 0;
  int TalkSeconds = 0;
  // When the sender handled the event ("yyyy/mm/dd hh:nn:ss.zzz"), so that a
  // receiver can tell a live call from one delivered late.
  std::optional<std::string> Date;

  bool operator==(const TCallMessage&) const = default;
};

// The group of a call message that is no live call's.
inline constexpr int32_t RecoveredGroup = -1;

class ECallMessageError : public Exception {
public:
  using Exception::Exception;
};

// The JSON object of a call message, compact, UTF-8.
std::string EncodeCallMessage(const TCallMessage& message);
// Throws ECallMessageError saying what is wrong with anything that is not a
// call message: not JSON, a missing or mistyped field, an unknown kind.
TCallMessage DecodeCallMessage(const std::string& payload);
// "ring", "number", "offhook", "onhook", "unanswered", "end"; "" for others.
const char* CallEventName(int kind);
