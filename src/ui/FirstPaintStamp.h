#pragma once

#include <functional>
#include <string>

class QWidget;

// A measuring hook for the benchmarks, off unless asked for: when the
// environment variable TELORIA2_PAINT_STAMP names a file, the returned
// function arms the stamp, and the first paint of `window` after that
// appends one line to the file as soon as the paint is complete and the
// display server has processed it: the CLOCK_MONOTONIC time in nanoseconds,
// a blank and `label()`. The window arms it at every showing, a new one or
// a change in place. Without the variable nothing is installed and the
// returned function is empty.
std::function<void()> InstallFirstPaintStamp(QWidget& window, std::function<std::string()> label);
