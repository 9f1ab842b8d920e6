#pragma once

#include "base/DateTime.h"

#include <string>

class TMirelKT5CommBase;

// What the windows ask of the controller: the state of the connection, a
// new search, the adapter's clock and the session the device memory is read
// from. The controller implements it and the program hands it to the
// windows, as it hands IWindows to the controller.
class IController {
public:
  virtual ~IController() = default;
  // Calls come from the number-sending simulator.
  virtual bool SimMode() const = 0;
  // Calls come from an office's broker, not from an adapter.
  virtual bool ReceivingShared() const = 0;
  // The adapter's port while connected, else "".
  virtual std::string GetConnectedPort() const = 0;
  // Drops the adapter's connection and searches the port again.
  virtual void Reconnect() = 0;
  // Sets the connected adapter's clock; false, doing nothing, without one
  // (and in simulator mode). A failure of the adapter throws.
  virtual bool SetDeviceClock(TDateTime now) = 0;
  // The broker connection in words ("" when nothing is shared), and whether it is up.
  virtual std::string ShareStateText() const = 0;
  virtual bool ShareConnected() const = 0;
  // The session the device memory is read from: the simulator's in simulator mode.
  virtual TMirelKT5CommBase& MemorySession() = 0;
};
