#pragma once

#include "CallRequest.h"

// The two requests this tool sends to the main program. Each prints the
// program's result, or why none came, and returns the exit code: 0 when a
// result came, 1 otherwise.
int RunQuery();
// Writes the call's group record into the program's block, then sends the call.
int RunCall(const TCallRequest& request);
