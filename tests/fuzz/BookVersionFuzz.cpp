// A version of the book as a desk receives it live: any bytes.
#include "BookFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Refusable([&] {
    const TBookVersion version = DecodeBookVersion(std::string(AsText(data, size)));
    CheckChange(version.Change);
    const TBookVersion again = DecodeBookVersion(EncodeBookVersion(version));
    Check(again.Version == version.Version && again.Desk == version.Desk &&
          again.Seq == version.Seq);
  });
  return 0;
}
