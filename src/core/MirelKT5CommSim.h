#pragma once

#include "common2/MirelKT5CommBase.h"

class TNumberSimReceiver;

// The session that stands in for the adapter in simulator mode: call events
// come finished from the number-sending simulator, memory records are asked
// of it by message.
class TMirelKT5CommSim final : public TMirelKT5CommBase {
public:
  explicit TMirelKT5CommSim(TNumberSimReceiver& receiver);

  bool IsOpen() override { return open_; }
  void Open() override;
  void Close(bool silent) override;
  // Raises EMirelKT5CommException kind 5 when the simulator cannot be asked.
  void ReadMemory(uint8_t index, IKT5MirelKT5ReceivePacket& packet) override;
  // The simulator has no clock to set.
  void SetDateTime(TDateTime) override {}
  // Raises OnGroup with a copy of the simulator's finished group state.
  void InjectGroupEvent(const IKT5GroupEventArgs& event);

  // How long a memory read waits for the simulator to answer.
  static constexpr int ReadMemoryTimeoutMs = 5000;

private:
  TNumberSimReceiver& receiver_;
  bool open_ = false;
};
