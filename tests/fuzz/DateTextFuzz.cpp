// Stored date texts of any bytes (a database or a file from elsewhere): the
// reader gives a valid date-time or the default, and a date-time it gives
// formats back to a text that reads as the same value.
#include "FuzzSupport.h"
#include "settings/DateText.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr TDateTime kDefault = -1e9;
  const TDateTime value = DateTimeFromTextDef(AsText(data, size), kDefault);
  if (value == kDefault)
    return 0;
  Check(std::isfinite(value));
  const std::string text = FormatDateTime("yyyy/mm/dd hh:nn:ss.zzz", value);
  Check(std::fabs(DateTimeFromTextDef(text, kDefault) - value) < OneMillisecond / 2);
  return 0;
}
