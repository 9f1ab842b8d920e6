#pragma once

#include <string>

#include "platform/SerialDevice.h"

// Opens a serial device node for the port component: non-blocking, exclusive
// (TIOCEXCL and flock), and only when it is a terminal. Null and `error` set
// on failure (EBUSY when another process holds it).
TSerialDevicePtr OpenTermiosDevice(const std::string& path, int& error);
