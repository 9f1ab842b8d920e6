// A page of the whole book as a joining desk receives it: an answer of any
// bytes, its version first, then entries each read on its own.
#include "BookFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Refusable([&] {
    const TShareResponse response = DecodeShareResponse(std::string(AsText(data, size)));
    if (response.Items.isEmpty())
      return;
    Check(VersionOf(response.Items.first()) >= 0);
    for (qsizetype i = 1; i < response.Items.size(); ++i)
      Refusable([&] { CheckEntry(BookEntryOf(response.Items[i])); });
  });
  return 0;
}
