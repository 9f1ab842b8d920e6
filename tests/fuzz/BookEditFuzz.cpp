// A desk's edit as the book station receives it: a request of any bytes.
#include "BookFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Refusable([&] {
    const TDeskEdit edit = DeskEditOf(DecodeShareRequest(std::string(AsText(data, size))).After);
    Check(!edit.Desk.empty() && edit.Seq >= 0);
    CheckChange(edit.Change);
    const TDeskEdit again = DeskEditOf(DeskEditJson(edit));
    Check(again.Desk == edit.Desk && again.Seq == edit.Seq);
  });
  return 0;
}
