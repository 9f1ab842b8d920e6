#include "common2/KT5EventArgs.h"

void TKT5GroupEventArgs::Clear() {
  const std::string phoneNumber = std::move(PhoneNumber);
  const uint8_t numberKind = NumberKind;
  const int32_t ringSeconds = RingSeconds;
  const int32_t talkSeconds = TalkSeconds;
  *this = TKT5GroupEventArgs();
  PhoneNumber = phoneNumber;
  NumberKind = numberKind;
  RingSeconds = ringSeconds;
  TalkSeconds = talkSeconds;
}

void TKT5GroupEventArgs::AssignTo(TKT5GroupEventArgs& other) const {
  other = *this;
}

IKT5GroupEventArgs TKT5GroupEventArgs::Clone() const {
  auto copy = std::make_shared<TKT5GroupEventArgs>();
  AssignTo(*copy);
  return copy;
}
