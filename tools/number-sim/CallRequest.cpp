#include "CallRequest.h"

#include "NumberField.h"
#include "base/CodePage.h"
#include "base/Text.h"
#include "common2/PacketDecode.h"
#include "common2/SecondsBetween.h"

#include <span>

namespace {

// How far the call got; a group end repeats the state of the change before it.
enum class TStage { Ring = 1, Number = 2, OffHook = 3, OnHook = 4, Unanswered = 5 };

TStage StageOf(const TCallRequest& request) {
  if (request.Kind == PacketKind::GroupEnd)
    return request.TalkSeconds ? TStage::OnHook : TStage::Unanswered;
  return static_cast<TStage>(request.Kind);
}

// The adapter's clock has no seconds.
TDateTime AdapterTime(TDateTime value) {
  TDateParts parts = DecodeDateTime(value);
  parts.Second = 0;
  parts.MilliSecond = 0;
  return EncodeDateTime(parts);
}

TDateTime SecondsBefore(TDateTime value, int seconds) {
  return value - seconds * OneSecond;
}

void SetNumber(TKT5GroupEventArgs& group, const std::string& number, TDateTime at) {
  const std::string text = number == "-" ? std::string() : NumberFieldText(number);
  // Classified as the device library classifies the adapter's field; the
  // text itself is kept whole (the library would mask what is not ASCII).
  const std::string field = PaddedNumberField(text);
  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(field.data()),
                                       field.size());
  std::string masked;
  DecodePacketNumber(bytes, 0, masked, group.NumberKind);
  group.PhoneNumber = Trim(Cp932ToUtf8(text));
  group.NumberReceived = true;
  group.NumberReceivedAt = at;
  group.IncomingDateTime = AdapterTime(at);
}

void SetOffHook(TKT5GroupEventArgs& group, TDateTime at) {
  group.OffHookReceived = true;
  group.OffHookReceivedAt = at;
  group.OffHookDateTime = AdapterTime(at);
  group.RingSeconds = SecondsBetween(false, at, group.NumberReceivedAt);
}

void SetOnHook(TKT5GroupEventArgs& group, TDateTime at) {
  group.OnHookReceived = true;
  group.OnHookReceivedAt = at;
  group.OnHookDateTime = AdapterTime(at);
  group.TalkSeconds = SecondsBetween(false, at, group.OffHookReceivedAt);
}

void SetUnanswered(TKT5GroupEventArgs& group, TDateTime at) {
  group.UnansweredReceived = true;
  group.UnansweredReceivedAt = at;
  group.UnansweredDateTime = AdapterTime(at);
}

} // namespace

bool IsCallKind(int kind) {
  return (kind >= PacketKind::KyokuseiHanten && kind <= PacketKind::Unanswered) ||
         kind == PacketKind::GroupEnd;
}

TKT5GroupEventArgs BuildGroupEvent(const TCallRequest& request, TDateTime now) {
  const TStage stage = StageOf(request);
  // Whole milliseconds, so that every time placed back from it decodes to
  // the same fraction of a second and the seconds between them come out whole.
  now = EncodeDateTime(DecodeDateTime(now));
  const TDateTime offHookAt =
      stage == TStage::OnHook ? SecondsBefore(now, request.TalkSeconds.value_or(DefaultTalkSeconds))
                              : now;
  const TDateTime numberAt =
      stage >= TStage::OffHook
          ? SecondsBefore(offHookAt, request.RingSeconds.value_or(DefaultRingSeconds))
          : now;

  TKT5GroupEventArgs group;
  group.PacketKind = request.Kind;
  group.GroupNo = request.GroupNo;
  group.KyokuseiHantenReceived = true;
  group.KyokuseiHantenAt = numberAt;
  if (stage == TStage::Ring)
    return group;
  SetNumber(group, request.Number, numberAt);
  if (stage == TStage::OffHook || stage == TStage::OnHook)
    SetOffHook(group, offHookAt);
  if (stage == TStage::OnHook)
    SetOnHook(group, now);
  if (stage == TStage::Unanswered)
    SetUnanswered(group, now);
  return group;
}
