#include "core/MirelKT5CommShare.h"

#include "base/Clock.h"
#include "common2/MirelKT5CommException.h"

#include <algorithm>

void TMirelKT5CommShare::ReadMemory(uint8_t, IKT5MirelKT5ReceivePacket&) {
  throw EMirelKT5CommException(CommErrorKind::ReadMemoryFailed, "メモリ読み出しエラー");
}

// A message of another run of its station ends that run's calls here.
std::deque<TMirelKT5CommShare::TCall>::iterator TMirelKT5CommShare::CallOf(const TCallMessage& m) {
  std::erase_if(calls_, [&](const TCall& c) { return c.Station == m.Station && c.Run != m.Run; });
  const auto found = std::find_if(calls_.begin(), calls_.end(), [&](const TCall& c) {
    return c.Is(m.Station, m.Run, m.GroupNo);
  });
  if (found != calls_.end())
    return found;
  if (calls_.size() >= RememberedCalls)
    calls_.pop_front();
  TCall call{m.Station, m.Run, m.GroupNo, {}};
  call.Group.GroupNo = TakeGroupNo();
  call.Group.KyokuseiHantenAt = Now();
  calls_.push_back(std::move(call));
  return std::prev(calls_.end());
}

void TMirelKT5CommShare::InjectMessage(const TCallMessage& message) {
  const auto call = CallOf(message);
  TKT5GroupEventArgs& g = call->Group;
  const TDateTime now = Now();
  g.PacketKind = static_cast<uint8_t>(message.Kind);
  if (!message.PhoneNumber.empty()) {
    if (!g.NumberReceived)
      g.IncomingDateTime = g.NumberReceivedAt = now;
    g.NumberReceived = true;
    g.PhoneNumber = message.PhoneNumber;
  }
  switch (message.Kind) {
  case 1:
    g.KyokuseiHantenReceived = true;
    g.KyokuseiHantenAt = now;
    break;
  case 3:
    g.OffHookReceived = true;
    g.OffHookDateTime = g.OffHookReceivedAt = now;
    break;
  case 4:
    g.OnHookReceived = true;
    g.OnHookDateTime = g.OnHookReceivedAt = now;
    break;
  case 5:
    g.UnansweredReceived = true;
    g.UnansweredDateTime = g.UnansweredReceivedAt = now;
    break;
  default:
    break;
  }
  g.RingSeconds = message.RingSeconds;
  g.TalkSeconds = message.TalkSeconds;
  if (message.Kind == 2)
    numbers_[g.GroupNo] = message;
  const IKT5GroupEventArgs event = g.Clone();
  if (message.Kind == 7)
    calls_.erase(call);
  if (OnGroup)
    OnGroup(*this, event);
}

bool TMirelKT5CommShare::Tracks(const std::string& station, const std::string& run,
                                int32_t senderGroupNo) const {
  return std::any_of(calls_.begin(), calls_.end(),
                     [&](const TCall& c) { return c.Is(station, run, senderGroupNo); });
}

void TMirelKT5CommShare::ForgetStation(const std::string& station) {
  std::erase_if(calls_, [&](const TCall& c) { return c.Station == station; });
}

std::optional<TCallMessage> TMirelKT5CommShare::TakeNumberMessage(int32_t groupNo) {
  const auto found = numbers_.find(groupNo);
  if (found == numbers_.end())
    return std::nullopt;
  std::optional<TCallMessage> message = std::move(found->second);
  numbers_.erase(found);
  return message;
}
