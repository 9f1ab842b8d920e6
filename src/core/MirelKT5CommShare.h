#pragma once

#include "common2/MirelKT5CommBase.h"
#include "share/CallMessage.h"

#include <deque>
#include <map>
#include <optional>
#include <string>

// The session of a receiving station: calls come from the broker as call
// messages, already grouped by their sending station and its run (a run's
// group numbers start again in the next). Each call gets a group
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
  // Whether a call of that station, run and sender's group is in progress here.
  bool Tracks(const std::string& station, const std::string& run, int32_t senderGroupNo) const;
  // The station went offline or started again: none of its calls goes on.
  void ForgetStation(const std::string& station);
  // The number message behind the number event of this group, handed over
  // once (the event's handling may come after many more messages).
  std::optional<TCallMessage> TakeNumberMessage(int32_t groupNo);

  // Calls in progress that are remembered; the oldest is forgotten beyond.
  static constexpr size_t RememberedCalls = 16;

private:
  struct TCall {
    std::string Station;
    std::string Run;
    int32_t SenderGroupNo = 0;
    TKT5GroupEventArgs Group;

    bool Is(const std::string& station, const std::string& run, int32_t group) const {
      return SenderGroupNo == group && Station == station && Run == run;
    }
  };
  std::deque<TCall>::iterator CallOf(const TCallMessage& message);

  bool open_ = false;
  std::deque<TCall> calls_;
  std::map<int32_t, TCallMessage> numbers_;
};
