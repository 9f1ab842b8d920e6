#include "common2/MirelKT5Comm.h"

#include <fmt/printf.h>

#include "base/Text.h"
#include "common2/MirelKT5CommException.h"

TMirelKT5Comm::TMirelKT5Comm(TPostTargetPtr postTarget, TSerialDeviceFactory deviceFactory)
    : compo_(std::move(postTarget), std::move(deviceFactory)) {
  compo_.SetAsyncHandling(false);
  compo_.OnKyokuseiHanten = [this](TMirelKT5CommCompo&, const TKyokuseiHantenPacket& raw) {
    DeliverPacket(DecodeKyokuseiHanten(raw));
  };
  compo_.OnPhoneDetect = [this](TMirelKT5CommCompo&, const TPhoneNumberPacket& raw) {
    DeliverPacket(DecodePhoneNumber(raw));
  };
  compo_.OnOnOffHookEtc = [this](TMirelKT5CommCompo&, const TOnOffHookEtcPacket& raw) {
    DeliverPacket(DecodeOnOffHookEtc(raw));
  };
  compo_.OnTrace = [this](TMirelKT5CommCompo&, const std::string& text, uint32_t code) {
    CompoTrace(text, code);
  };
}

TMirelKT5Comm::~TMirelKT5Comm() {
  // Closing first shuts out every queued delivery to this session.
  compo_.Close();
}

bool TMirelKT5Comm::IsOpen() {
  return compo_.Active();
}

void TMirelKT5Comm::Open() {
  if (compo_.Active()) {
    RaiseTrace(TKT5TraceEventArgs::LevelError, "既にオープンしています。");
    return;
  }
  if (Trim(PortName).empty()) {
    const std::string message = "COMポートが設定されていません。";
    RaiseTrace(TKT5TraceEventArgs::LevelError, message);
    throw EMirelKT5CommException(CommErrorKind::NoPort, message);
  }
  try {
    compo_.SetPortName(PortName);
    compo_.Open();
  } catch (const std::exception& e) {
    throw EMirelKT5CommException(CommErrorKind::OpenFailed,
                                 fmt::sprintf("%s ポートをオープンできません。", PortName),
                                 e.what());
  }
}

void TMirelKT5Comm::Close(bool silent) {
  if (!compo_.Active())
    return;
  try {
    compo_.CloseAfterPending();
    // The call in progress ends with the port: finished later, it would
    // span the whole time the port was closed.
    FinishGroup();
    if (!silent)
      RaiseClosed(false);
  } catch (const std::exception& e) {
    RaiseTrace(TKT5TraceEventArgs::LevelError, "COMポートをクローズできません。", e.what());
  }
}

void TMirelKT5Comm::ReadMemory(uint8_t index, IKT5MirelKT5ReceivePacket& packet) {
  try {
    TMemoryRecordPacket reply{};
    compo_.ReadMemoryMT(index, reply);
    packet = DecodeMemoryRecord(reply);
  } catch (const std::exception& e) {
    throw EMirelKT5CommException(CommErrorKind::ReadMemoryFailed, "メモリ読み出しエラー", e.what());
  }
}

void TMirelKT5Comm::SetDateTime(TDateTime value) {
  try {
    compo_.WriteDateTime(value);
  } catch (const std::exception& e) {
    throw EMirelKT5CommException(CommErrorKind::SetDateTimeFailed, "Mirel時刻設定エラー", e.what());
  }
}

void TMirelKT5Comm::DeliverPacket(const IKT5MirelKT5ReceivePacket& packet) {
  // Hook packets with unknown letters decode to nothing and change nothing.
  if (packet)
    HandlePacket(*packet);
}

void TMirelKT5Comm::CompoTrace(const std::string& text, uint32_t code) {
  RaiseTrace(TKT5TraceEventArgs::LevelTrace,
             fmt::sprintf("[Mirel.Trace] %s (W32ErrCode=%d)", text, code));
  if (text != "WaitCommEvent" || code == 0)
    return;
  // The port is lost: close quietly (which completes the call) and tell the
  // owner.
  RaiseTrace(TKT5TraceEventArgs::LevelTrace,
             fmt::sprintf("MirelのWaitCommEventエラーが発生しました。Win32ErrCode=[%d] Msg=[%s]",
                          code, text));
  Close(true);
  RaiseClosed(true);
}
