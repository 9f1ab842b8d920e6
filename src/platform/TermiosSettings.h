#pragma once

#include <termios.h>

#include "platform/SerialLineSettings.h"

// Fills `tio` from the line-settings record: speed, character size, parity,
// stop bits, hardware and software flow control, raw mode; on the
// non-blocking descriptor reads return at once with what is there.
void DcbToTermios(const TDcbRecord& dcb, termios& tio);
// The termios speed constant for a baud rate; B9600 for a rate it lacks.
speed_t TermiosSpeed(uint32_t baudRate);
