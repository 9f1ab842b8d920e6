#include "common2/MirelKT5CommBase.h"

#include <atomic>

#include "base/Clock.h"
#include "common2/SecondsBetween.h"

namespace {
std::atomic<int32_t> groupCounter{0};

// Seconds from `since` to `until`; a moment the group never saw (0) counts as
// no time rather than as seventy years.
int32_t SecondsSince(TDateTime until, TDateTime since) {
  return since == 0 ? 0 : SecondsBetween(false, until, since);
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
  if (packet.PacketKind == PacketKind::KyokuseiHanten)
    currentGroupNo_ = TakeGroupNo();
  if (group_.GroupNo != currentGroupNo_) {
    FinishGroup();
    group_.Clear();
    group_.GroupNo = currentGroupNo_;
    group_.KyokuseiHantenAt = Now();
  }
  group_.PacketKind = packet.PacketKind;
  RaiseMirel(packet, now);
  UpdateGroup(packet, now);
}

void TMirelKT5CommBase::UpdateGroup(const TKT5MirelKT5ReceivePacket& packet, TDateTime t) {
  switch (packet.PacketKind) {
  case PacketKind::KyokuseiHanten:
    group_.KyokuseiHantenReceived = true;
    group_.KyokuseiHantenAt = t;
    RaiseGroup();
    break;
  case PacketKind::PhoneNumber:
    group_.NumberReceived = true;
    group_.IncomingDateTime = packet.IncomingDateTime;
    group_.NumberReceivedAt = t;
    group_.PhoneNumber = packet.PhoneNumber;
    group_.NumberKind = packet.NumberKind;
    RaiseGroup();
    break;
  case PacketKind::OffHook:
    group_.OffHookReceived = true;
    group_.OffHookDateTime = packet.EventDateTime;
    group_.OffHookReceivedAt = t;
    // Without a number the call rang from the start of its group.
    group_.RingSeconds =
        SecondsSince(t, group_.NumberReceived ? group_.NumberReceivedAt : group_.KyokuseiHantenAt);
    RaiseGroup();
    break;
  case PacketKind::OnHook:
    group_.OnHookReceived = true;
    group_.OnHookDateTime = packet.EventDateTime;
    group_.OnHookReceivedAt = t;
    group_.TalkSeconds = SecondsSince(t, group_.OffHookReceivedAt);
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
    group_.TalkSeconds = SecondsBetween(false, group_.OnHookReceivedAt, group_.OffHookReceivedAt);
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
