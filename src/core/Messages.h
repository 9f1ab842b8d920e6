#pragma once

#include <cstdint>

// Message numbers of the main window. Other processes send some of them
// through the message endpoint, so the numbers are fixed.
enum : uint32_t {
  CMIncomingPhone = 0x500,
  CMIncomingError = 0x501,
  CMPortSearchDone = 0x502,
  CMReconnect = 0x503,
  CMStartup = 0x504,
  CMGroupEvent = 0x510,
  CMAlreadyRunning = 0x600,
  CMShutdown = 0x601,
  CMSimQuery = 0x611,
  CMSimCall = 0x612,
  CMSimReadMemory = 0x613,
  CMSettingsChanged = 0x701,
};

// Results of the simulator messages.
enum : uint32_t {
  SimResultOk = 100,
  SimResultNotSimMode = 900,
  SimResultNotReady = 901,
  SimResultReadFailed = 999,
};
