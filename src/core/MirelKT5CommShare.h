#pragma once

#include "common2/MirelKT5CommBase.h"

#include <deque>
#include <string>

struct TCallMessage;

// The session of a receiving station: calls come from the broker as call
// messages, already grouped by their sending station. Each call gets a group
// number of this process, so calls of several senders never share one with
// each other or with the local sessions, and raises OnGroup as an adapter's
// call would. There is no adapter behind it to read or to set.
class TMirelKT5CommShare final : public TMirelKT5CommBase {
public:
  TMirelKT5CommShare() { PortName = "MQTT"; }

  bool IsOpen() override { return open_; }
  void Open() override { open_ = true; }
  void Close(bool) override { open_ = false; }
  // Raises EMirelKT5CommException kind 5.
  void ReadMemory(uint8_t index, IKT5MirelKT5ReceivePacket& packet) override;
  void SetDateTime(TDateTime) override {}

  // Updates the message's call with it and raises OnGroup with a copy. The
  // durations are the sender's, which measured them on the line.
  void InjectMessage(const TCallMessage& message);

  // Calls in progress that are remembered; the oldest is forgotten beyond.
  static constexpr size_t RememberedCalls = 16;

private:
  struct TCall {
    std::string Station;
    int32_t SenderGroupNo = 0;
    TKT5GroupEventArgs Group;
  };
  std::deque<TCall>::iterator CallOf(const std::string& station, int32_t senderGroupNo);

  bool open_ = false;
  std::deque<TCall> calls_;
};
