#pragma once

#include <string>
#include <vector>

// Appends the serial devices the port layer can open: /dev/ttyUSB*,
// /dev/ttyACM* and the /dev/ttyS* that have a UART behind them, each group in
// name order, then the entries of $TELORIA2_EXTRA_PORTS (colon-separated, for
// virtual adapters). The list is not cleared; nothing is raised.
void EnumSerialPorts(std::vector<std::string>& list);

// The same over other folders, for tests.
void EnumSerialPortsIn(const std::string& devFolder, const std::string& sysTtyFolder,
                       const std::string& extraPorts, std::vector<std::string>& list);
