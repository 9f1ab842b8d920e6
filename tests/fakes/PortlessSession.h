#pragma once

#include "common2/MirelKT5CommBase.h"

// A session without a port: decoded packets go straight into the call
// grouping that every session shares.
class TPortlessSession : public TMirelKT5CommBase {
public:
  bool IsOpen() override { return true; }
  void Open() override {}
  void Close(bool) override {}
  void ReadMemory(uint8_t, IKT5MirelKT5ReceivePacket&) override {}
  void SetDateTime(TDateTime) override {}
  void Feed(const TKT5MirelKT5ReceivePacket& packet) { HandlePacket(packet); }
};
