#include "core/SentCalls.h"

#include "data/KsoCtiDb.h"
#include "data/NumberRules.h"
#include "settings/Logging.h"

#include <algorithm>

TSentCalls::TCall& TSentCalls::CallOf(int32_t groupNo) {
  const auto found = std::find_if(calls_.begin(), calls_.end(),
                                  [groupNo](const TCall& c) { return c.GroupNo == groupNo; });
  if (found != calls_.end())
    return *found;
  if (calls_.size() >= RememberedCalls)
    calls_.pop_front();
  calls_.push_back({groupNo, {}});
  return calls_.back();
}

void TSentCalls::LookUp(const std::string& number, TCallMessage& known) {
  if (!CtiDb || !IsValidNumber(number))
    return;
  try {
    if (const auto row = CtiDb->FindPhoneNumber(number)) {
      known.OwnerName = row->GetValue("owner_name");
      known.Memo1 = row->GetValue("memo1");
      known.Memo2 = row->GetValue("memo2");
      known.Memo3 = row->GetValue("memo3");
    }
  } catch (const std::exception& e) {
    // The call goes out without the name: the other stations look it up themselves.
    LogException(llWarning, "共有する着信情報の電話帳を読めません。", e);
  }
}

TCallMessage TSentCalls::MessageOf(const TKT5GroupEventArgs& ev, const TLastIncomingInfo& before) {
  TCall& call = CallOf(ev.GroupNo);
  if (ev.PacketKind == 2) {
    call.Known = {};
    const TLastIncomingInfo& now = LastIncomingInfo;
    if (!now.IncomingDate.empty() &&
        (now.IncomingOrder != before.IncomingOrder || now.IncomingDate != before.IncomingDate)) {
      call.Known.IncomingOrder = now.IncomingOrder;
      call.Known.IncomingDate = now.IncomingDate;
    }
    LookUp(ev.PhoneNumber, call.Known);
  }
  TCallMessage m = call.Known;
  m.Kind = ev.PacketKind;
  m.GroupNo = ev.GroupNo;
  // A new group's first event still carries the previous call's values.
  if (ev.NumberReceived)
    m.PhoneNumber = ev.PhoneNumber;
  if (ev.OffHookReceived)
    m.RingSeconds = ev.RingSeconds;
  if (ev.OnHookReceived)
    m.TalkSeconds = ev.TalkSeconds;
  return m;
}

std::optional<TCallMessage> TSentCalls::RecoveredMessage(const TRecoveredCall& recovered) {
  const TStoredCall& call = recovered.Call;
  if (!call.Answered && !call.Unanswered)
    return std::nullopt;
  TCallMessage m;
  m.Kind = call.Answered ? 4 : 5;
  m.GroupNo = RecoveredGroup;
  m.PhoneNumber = call.Number;
  m.IncomingOrder = recovered.Key.Order;
  m.IncomingDate = recovered.Key.Date;
  m.RingSeconds = call.Answered ? call.RingSeconds() : 0;
  LookUp(call.Number, m);
  return m;
}
