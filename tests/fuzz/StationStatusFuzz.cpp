// A station's retained status, as any account may publish any bytes: what
// decodes encodes to a status that decodes the same.
#include "FuzzSupport.h"
#include "share/CallMessage.h"
#include "share/StationStatus.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    TStationStatus status = DecodeStationStatus(std::string(AsText(data, size)));
    if (status.Station.empty())
      status.Station = "desk1"; // as its topic says
    Check(DecodeStationStatus(StatusMessage("b", status).Payload) == status);
  } catch (const ECallMessageError&) {
  }
  return 0;
}
