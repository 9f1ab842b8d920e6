#pragma once

#include "core/CommandLine.h"
#include "platform/SingleInstance.h"

#include <memory>

// What happens before any window exists: the "-shutdown" request and the
// single-instance test.

// Asks a running instance to close and waits until it has released the
// single-instance lock (at most 3 s). Nothing happens, and nothing is
// logged, when no instance holds the lock.
void RequestShutdownOfRunningInstance();
// The lock when this is the only instance (which then clears the sockets of
// dead processes from the runtime folder); otherwise tells the running
// instance that it was started again, logs it and returns null. A refused
// runtime folder is logged.
//
// With a verb of the command line, a running instance is asked to act on it
// instead, and this process then ends with `exitCode` (0 done, 1 not done,
// said on stderr). "-exit" with no instance running ends at once with 0:
// null, though nobody else holds the lock.
std::unique_ptr<TSingleInstance> TakeSingleInstance(const TCommandLine& command = {},
                                                    int* exitCode = nullptr);
