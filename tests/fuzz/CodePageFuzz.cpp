// Text of any bytes in either code page converts to valid text of the other
// side; converting back and forth again changes nothing more.
#include "FuzzSupport.h"
#include "base/CodePage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes = AsText(data, size);
  // Bytes from a CP932 file.
  const std::string utf8 = Cp932ToUtf8(bytes);
  Check(IsValidUtf8(utf8));
  const std::string cp932 = Utf8ToCp932(utf8);
  Check(Cp932ToUtf8(cp932) == utf8);
  Check(Cp932ByteLength(utf8) == cp932.size());
  // Bytes meant as UTF-8 (the database, the program's own texts).
  const std::string stored = Utf8ToCp932(bytes);
  const std::string shown = Cp932ToUtf8(stored);
  Check(IsValidUtf8(shown) && Utf8ToCp932(shown) == stored);
  return 0;
}
