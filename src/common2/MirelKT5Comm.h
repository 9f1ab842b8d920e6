#pragma once

#include "base/PostTarget.h"
#include "common2/MirelKT5CommBase.h"
#include "common2/MirelKT5CommCompo.h"

// The session with the adapter on a serial port. Everything it raises runs on
// the thread behind `postTarget`, the owner's thread.
class TMirelKT5Comm final : public TMirelKT5CommBase {
public:
  explicit TMirelKT5Comm(TPostTargetPtr postTarget, TSerialDeviceFactory deviceFactory = nullptr);
  ~TMirelKT5Comm() override;

  bool IsOpen() override;
  void Open() override;
  void Close(bool silent) override;
  void ReadMemory(uint8_t index, IKT5MirelKT5ReceivePacket& packet) override;
  void SetDateTime(TDateTime value) override;

  TMirelKT5CommCompo& Compo() { return compo_; }

private:
  void CompoTrace(const std::string& text, uint32_t code);
  void DeliverPacket(const IKT5MirelKT5ReceivePacket& packet);

  TMirelKT5CommCompo compo_;
};
