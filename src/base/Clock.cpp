#include "base/Clock.h"

#include <atomic>
#include <cmath>
#include <ctime>

namespace {

std::atomic<bool> fixedActive{false};
std::atomic<double> fixedValue{0.0};
std::atomic<int64_t> fixedMonotonicMs{0};

TDateTime SystemNow() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm local{};
  localtime_r(&ts.tv_sec, &local);
  TDateParts parts;
  parts.Year = local.tm_year + 1900;
  parts.Month = local.tm_mon + 1;
  parts.Day = local.tm_mday;
  parts.Hour = local.tm_hour;
  parts.Minute = local.tm_min;
  // A leap second reads as the last second of the minute.
  parts.Second = local.tm_sec > 59 ? 59 : local.tm_sec;
  parts.MilliSecond = static_cast<int>(ts.tv_nsec / 1000000);
  return EncodeDateTime(parts);
}

} // namespace

TDateTime Now() {
  if (fixedActive.load())
    return fixedValue.load();
  return SystemNow();
}

int Today() {
  return DateOf(Now());
}

int64_t MonotonicMs() {
  if (fixedActive.load())
    return fixedMonotonicMs.load();
  timespec ts{};
  clock_gettime(CLOCK_BOOTTIME, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void SetFixedNow(TDateTime value) {
  fixedValue.store(value);
  fixedActive.store(true);
}

void AdvanceFixedNow(double days) {
  double current = fixedValue.load();
  while (!fixedValue.compare_exchange_weak(current, current + days)) {
  }
  fixedMonotonicMs += std::llround(days * MSecsPerDay);
}

void ClearFixedNow() {
  fixedActive.store(false);
}
