#include "ui/LiveCallTimes.h"

#include "base/Clock.h"
#include "common2/SecondsBetween.h"
#include "core/LastIncomingInfo.h"
#include "ui/ListTexts.h"

TLiveCallTimes LiveCallTimes(const std::string& phoneNumber) {
  TLiveCallTimes times;
  const IKT5GroupEventArgs ev = LastGroupEvent;
  if (!ev || ev->PhoneNumber != phoneNumber)
    return times;
  if (ev->UnansweredReceived) {
    times.OnHook = "未応答";
  } else if (ev->OnHookReceived) {
    times.OffHook = DurationText(ev->RingSeconds);
    times.OnHook = DurationText(ev->TalkSeconds);
  } else if (ev->OffHookReceived) {
    times.OffHook = DurationText(ev->RingSeconds);
    times.OnHook = DurationText(SecondsBetween(false, Now(), ev->OffHookReceivedAt));
  } else if (ev->NumberReceivedAt != 0) {
    const int seconds = SecondsBetween(false, Now(), ev->NumberReceivedAt);
    if (seconds >= 0)
      times.OffHook = DurationText(seconds);
  }
  return times;
}
