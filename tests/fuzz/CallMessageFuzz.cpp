// A call message from the broker, as any account may publish any bytes: what
// decodes names a usable station and encodes to a message that decodes the same.
#include "FuzzSupport.h"
#include "share/CallMessage.h"
#include "share/Station.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    const TCallMessage m = DecodeCallMessage(std::string(AsText(data, size)));
    Check(IsShareName(m.Station));
    Check(DecodeCallMessage(EncodeCallMessage(m)) == m);
  } catch (const ECallMessageError&) {
  }
  return 0;
}
