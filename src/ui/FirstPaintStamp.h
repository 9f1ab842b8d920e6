#pragma once

#include <functional>
#include <string>

class QWidget;

// A measuring hook for the benchmarks, off unless asked for: when the
// environment variable TELORIA2_PAINT_STAMP names a file, every showing of
// `window` appends one line to that file as soon as the first paint after
// the show is complete: the CLOCK_MONOTONIC time in nanoseconds, a blank and
// `label()`. Without the variable nothing is installed.
void InstallFirstPaintStamp(QWidget& window, std::function<std::string()> label);
