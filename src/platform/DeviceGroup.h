#pragma once

#include <string>

// The group that owns a device node (the link followed), by name: the group a
// user must belong to for a node that is open to its group only, such as
// "dialout" for serial ports on Debian. "dialout" when the node or its group
// cannot be read; the number when the group has no name.
std::string DeviceGroupName(const std::string& path);
