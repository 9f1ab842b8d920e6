#include "common2/SecondsBetween.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

double TimeOfDayMs(TDateTime value, bool withMilliseconds) {
  const TDateParts parts = DecodeDateTime(value);
  double ms = (parts.Hour * 3600.0 + parts.Minute * 60.0 + parts.Second) * 1000.0;
  if (withMilliseconds)
    ms += parts.MilliSecond;
  return ms;
}

} // namespace

int32_t SecondsBetween(bool withMilliseconds, TDateTime later, TDateTime earlier) {
  const double days = std::floor(later) - std::floor(earlier);
  const double ms = TimeOfDayMs(later, withMilliseconds) - TimeOfDayMs(earlier, withMilliseconds);
  const double seconds = std::floor(ms / 1000.0) + days * 86400.0;
  // Not a date-time (NaN, or both infinite): no span to count.
  if (std::isnan(seconds))
    return 0;
  // Date-times of unrelated calls can lie further apart than 32 bits hold.
  return static_cast<int32_t>(std::clamp<double>(seconds, INT32_MIN, INT32_MAX));
}
