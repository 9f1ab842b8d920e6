#pragma once

#include <string>
#include <vector>

// Appends the serial devices the port layer can open: /dev/ttyUSB*,
// /dev/ttyACM* and the /dev/ttyS* that have a UART behind them, each group in
// name order, then the entries of $TELORIA2_EXTRA_PORTS (colon-separated, for
// virtual adapters). The list is not cleared; nothing is raised.
void EnumSerialPorts(std::vector<std::string>& list);

// Whether `path` names a USB serial port, the kind the adapter comes as:
// /dev/ttyUSB*, /dev/ttyACM* or a stable name under /dev/serial/.
bool IsUsbSerialPort(const std::string& path);

// The same over other folders, for tests.
void EnumSerialPortsIn(const std::string& devFolder, const std::string& sysTtyFolder,
                       const std::string& extraPorts, std::vector<std::string>& list);

// What the settings window offers: EnumSerialPorts' list, then the stable
// names under /dev/serial/by-id (USB adapters, the same name in any socket)
// whose device is present, in natural order ("x9" before "x10"). A name
// already in the list is not added again.
void EnumSerialPortChoices(std::vector<std::string>& list);

// The by-id part over another folder, for tests.
void AppendStablePortNamesIn(const std::string& byIdFolder, std::vector<std::string>& list);
