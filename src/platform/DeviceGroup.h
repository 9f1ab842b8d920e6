#pragma once

#include <string>
#include <sys/stat.h>
#include <vector>

// The group worth joining to open the device node `node` (what stat says of
// it) for reading and writing, named `groupName`; empty when joining no group
// would help: the node's group bits do not grant both, the user owns the node
// (its owner bits apply instead) or is in its group already, or the group is
// root or tty, which no one should join for a serial port.
std::string GroupToJoin(const struct stat& node, const std::string& groupName, uid_t user,
                        const std::vector<gid_t>& userGroups);

// The same for the node at `path` (the link followed) and this process's
// user and groups; empty when the node cannot be read.
std::string GroupToJoinFor(const std::string& path);
