// A desk's request for calls and a station's answer, as any account may
// publish any bytes: the position asked from and every call answered either
// decode to what encodes back the same, or are refused with ECallMessageError.
#include "FuzzSupport.h"
#include "share/CallCatchUp.h"
#include "share/ShareExchange.h"
#include "share/Station.h"

namespace {

void Request(const std::string& payload) {
  const TShareRequest request = DecodeShareRequest(payload);
  Check(IsShareName(request.Desk, 200));
  if (const std::optional<TCallMark> mark = CallMarkOf(request.After))
    Check(CallMarkOf(CallMarkJson(mark)) == mark);
}

void Answer(const std::string& payload) {
  const TShareResponse response = DecodeShareResponse(payload);
  Check(IsShareName(response.Station, 200));
  for (const QJsonValue& item : response.Items) {
    const TCallRecord call = CallRecordOf(item);
    Check(CallRecordOf(QJsonValue(CallRecordJson(call))) == call);
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string payload(AsText(data, size));
  for (const auto decode : {Request, Answer}) {
    try {
      decode(payload);
    } catch (const ECallMessageError&) {
    }
  }
  return 0;
}
