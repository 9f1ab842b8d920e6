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
  // The command line's verbs to the running instance (sent, answered with a
  // CommandResult): WParam = a TProgramWindow to open, LParam = 1 to also
  // tell in a balloon when it cannot open; the program to close.
  CMShowWindow = 0x620,
  CMExitProgram = 0x621,
  CMSettingsChanged = 0x701,
};

// Results of the simulator messages.
enum : uint32_t {
  SimResultOk = 100,
  SimResultNotSimMode = 900,
  SimResultNotReady = 901,
  SimResultReadFailed = 999,
};

// Results of the command-line verbs. 0 is also what an instance that does
// not know the message answers.
enum : uint32_t {
  CommandResultNotDone = 0, // not ready yet, or not understood
  CommandResultDone = 1,
  CommandResultNoCall = 2,   // the number display has no call to show
  CommandResultNoScreen = 3, // the instance runs without a screen
};
