#include "common2/MirelKT5CommBase.h"

#include <algorithm>
#include <atomic>

#include "base/Clock.h"

namespace {
std::atomic<int32_t> groupCounter{0};

// The monotonic moment at which the wall-clock second of `now` began. Whole
// seconds counted from it are those the wall clock shows while it runs
// steadily, and stay true when the clock is set meanwhile.
int64_t SecondStart(int64_t monotonicMs, TDateTime now) {
  return monotonicMs - DecodeDateTime(now).MilliSecond;
}

// Whole seconds from `since` to `untilMs`; a moment the group never saw
// counts as no time.
int32_t SecondsSince(int64_t untilMs, std::optional<int64_t> since) {
  if (!since)
    return 0;
  return static_cast<int32_t>(std::clamp<int64_t>((untilMs - *since) / 1000, 0, INT32_MAX));
}

} // namespace

int32_t TakeGroupNo() {
  return groupCounter.fetch_add(1);
}

void TMirelKT5CommBase::RaiseTrace(uint8_t level, const std::string& message,
                                   const std::string& exceptionMessage) {
  if (!OnTrace)
    return;
  auto args = std::make_shared<TKT5TraceEventArgs>();
  args->Level = level;
  args->Message = message;
  args->ExceptionMessage = exceptionMessage;
  OnTrace(*this, args);
}

void TMirelKT5CommBase::RaiseClosed(bool forced) {
  if (!OnClosed)
    return;
  auto args = std::make_shared<TKT5ClosedEventArgs>();
  args->Forced = forced;
  OnClosed(*this, args);
}

void TMirelKT5CommBase::RaiseGroup() {
  if (OnGroup)
    OnGroup(*this, group_.Clone());
}

void TMirelKT5CommBase::GroupEnd() {
  if (!group_.KyokuseiHantenReceived)
    return;
  group_.PacketKind = PacketKind::GroupEnd;
  RaiseGroup();
  group_.KyokuseiHantenReceived = false;
}

void TMirelKT5CommBase::RaiseMirel(const TKT5MirelKT5ReceivePacket& packet, TDateTime receivedAt) {
  if (!OnMirel)
    return;
  try {
    auto args = std::make_shared<TKT5MirelEventArgs>();
    args->GroupNo = currentGroupNo_;
    args->ReceivedAt = receivedAt;
    args->Packet = packet.Clone();
    OnMirel(*this, args);
  } catch (const std::exception& e) {
    RaiseTrace(TKT5TraceEventArgs::LevelError, "FOnMirelイベントハンドラ実行エラー", e.what());
  } catch (...) {
    RaiseTrace(TKT5TraceEventArgs::LevelError, "FOnMirelイベントハンドラ実行エラー");
  }
}

void TMirelKT5CommBase::HandlePacket(const TKT5MirelKT5ReceivePacket& packet) {
  const TDateTime now = Now();
  const int64_t monotonic = MonotonicMs();
  if (packet.PacketKind == PacketKind::KyokuseiHanten)
    currentGroupNo_ = TakeGroupNo();
  if (group_.GroupNo != currentGroupNo_) {
    FinishGroup();
    group_.Clear();
    group_.GroupNo = currentGroupNo_;
    group_.KyokuseiHantenAt = now;
    since_ = {SecondStart(monotonic, now), {}, {}};
  }
  group_.PacketKind = packet.PacketKind;
  RaiseMirel(packet, now);
  UpdateGroup(packet, now, monotonic);
}

void TMirelKT5CommBase::UpdateGroup(const TKT5MirelKT5ReceivePacket& packet, TDateTime t,
                                    int64_t monotonic) {
  switch (packet.PacketKind) {
  case PacketKind::KyokuseiHanten:
    group_.KyokuseiHantenReceived = true;
    group_.KyokuseiHantenAt = t;
    since_.Start = SecondStart(monotonic, t);
    RaiseGroup();
    break;
  case PacketKind::PhoneNumber:
    group_.NumberReceived = true;
    group_.IncomingDateTime = packet.IncomingDateTime;
    group_.NumberReceivedAt = t;
    group_.PhoneNumber = packet.PhoneNumber;
    group_.NumberKind = packet.NumberKind;
    since_.Number = SecondStart(monotonic, t);
    RaiseGroup();
    break;
  case PacketKind::OffHook:
    group_.OffHookReceived = true;
    group_.OffHookDateTime = packet.EventDateTime;
    group_.OffHookReceivedAt = t;
    // Without a number the call rang from the start of its group.
    group_.RingSeconds =
        SecondsSince(monotonic, group_.NumberReceived ? since_.Number : since_.Start);
    since_.OffHook = SecondStart(monotonic, t);
    RaiseGroup();
    break;
  case PacketKind::OnHook:
    group_.OnHookReceived = true;
    group_.OnHookDateTime = packet.EventDateTime;
    group_.OnHookReceivedAt = t;
    group_.TalkSeconds = SecondsSince(monotonic, since_.OffHook);
    RaiseGroup();
    GroupEnd();
    break;
  case PacketKind::Unanswered:
    group_.UnansweredReceived = true;
    group_.UnansweredDateTime = packet.EventDateTime;
    group_.UnansweredReceivedAt = t;
    RaiseGroup();
    GroupEnd();
    break;
  default:
    break;
  }
}

void TMirelKT5CommBase::FinishGroup() {
  if (!group_.NumberReceived)
    return;
  if (group_.OffHookReceived && !group_.OnHookReceived) {
    group_.PacketKind = PacketKind::OnHook;
    group_.OnHookReceivedAt = Now();
    group_.OnHookDateTime = group_.OnHookReceivedAt;
    group_.OnHookReceived = true;
    group_.TalkSeconds = SecondsSince(MonotonicMs(), since_.OffHook);
    RaiseGroup();
    GroupEnd();
  } else if (!group_.OffHookReceived && !group_.UnansweredReceived) {
    group_.PacketKind = PacketKind::Unanswered;
    group_.UnansweredReceivedAt = Now();
    group_.UnansweredDateTime = group_.UnansweredReceivedAt;
    group_.UnansweredReceived = true;
    RaiseGroup();
    GroupEnd();
  }
}
