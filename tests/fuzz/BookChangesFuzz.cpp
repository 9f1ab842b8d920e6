// A page of the book's changes as a desk catching up receives it: an
// answer of any bytes, each item read on its own.
#include "BookFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Refusable([&] {
    const TShareResponse response = DecodeShareResponse(std::string(AsText(data, size)));
    for (const QJsonValue& item : response.Items)
      Refusable([&] { CheckChange(BookVersionOf(item).Change); });
  });
  return 0;
}
