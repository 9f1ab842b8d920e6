#pragma once

#include <functional>
#include <string>

// A measuring hook for the benchmarks, off unless asked for: when the
// environment variable TELORIA2_PAINT_STAMP names a file, the returned
// function appends one line to it once the display server has processed
// everything sent to it: the CLOCK_MONOTONIC time in nanoseconds, a blank
// and `label()`. A window runs it after the first complete paint of each
// showing (TAfterPaint), a new one or a change in place. Without the
// variable the returned function is empty.
std::function<void()> PaintStamp(std::function<std::string()> label);
