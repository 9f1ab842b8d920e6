#include "core/MirelKT5CommSim.h"

#include "common2/MirelKT5CommException.h"
#include "core/Messages.h"
#include "core/NumberSimReceiver.h"
#include "platform/WindowMessages.h"
#include "settings/SharedValue.h"

TMirelKT5CommSim::TMirelKT5CommSim(TNumberSimReceiver& receiver) : receiver_(receiver) {
  PortName = "TEST";
}

void TMirelKT5CommSim::Open() {
  if (open_) {
    RaiseTrace(TKT5TraceEventArgs::LevelError, "既にオープンしています。");
    return;
  }
  open_ = true;
}

void TMirelKT5CommSim::Close(bool silent) {
  if (!open_)
    return;
  open_ = false;
  if (!silent)
    RaiseClosed(false);
}

void TMirelKT5CommSim::ReadMemory(uint8_t index, IKT5MirelKT5ReceivePacket& packet) {
  const uint32_t simWindow = ReadSharedValue("SIM_CLIENT_WINDOW_MMF");
  if (simWindow == 0 || !IsWindow(simWindow))
    throw EMirelKT5CommException(CommErrorKind::ReadMemoryFailed,
                                 "シミュレータメモリ読み出しエラー1");
  uint32_t result = 0;
  // A simulator that does not answer in time is treated as a refusal.
  if (!SendMessageTimeout(simWindow, CMSimReadMemory, index, 0, ReadMemoryTimeoutMs, result) ||
      result != SimResultOk)
    throw EMirelKT5CommException(CommErrorKind::ReadMemoryFailed,
                                 "シミュレータメモリ読み出しエラー2");
  if (!receiver_.ReadMemoryRecord(packet))
    throw EMirelKT5CommException(CommErrorKind::ReadMemoryFailed,
                                 "シミュレータメモリ読み出しエラー3");
}

void TMirelKT5CommSim::InjectGroupEvent(const IKT5GroupEventArgs& event) {
  if (OnGroup && event)
    OnGroup(*this, event->Clone());
}
