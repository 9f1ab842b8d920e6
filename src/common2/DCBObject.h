#pragma once

#include <cstdint>

#include "platform/SerialLineSettings.h"

// Builds one line-settings record field by field; starts zero-filled. An
// index outside a setter's list changes nothing.
class TDCBObject {
public:
  // 0 record length, 1 baud rate.
  void SetDWordValue(int index, uint32_t value);
  // 0 fBinary, 1 fParity, 2 fOutxCtsFlow, 3 fOutxDsrFlow, 4 fDsrSensitivity,
  // 5 fTXContinueOnXoff, 6 fOutX, 7 fInX, 8 fErrorChar, 9 fNull,
  // 10 fAbortOnError.
  void SetFlag(int index, bool value);
  void SetDtrControl(uint32_t value);
  void SetRtsControl(uint32_t value);
  // 0 wReserved, 1 XonLim, 2 XoffLim, 3 wReserved1.
  void SetWordValue(int index, uint16_t value);
  // 0 ByteSize, 1 Parity, 2 StopBits.
  void SetByteValue(int index, uint8_t value);
  // 0 XonChar, 1 XoffChar, 2 ErrorChar, 3 EofChar, 4 EvtChar.
  void SetCharValue(int index, char value);

  const TDcbRecord& Record() const { return record_; }

private:
  void SetFlagsField(uint32_t shift, uint32_t value);
  TDcbRecord record_{};
};

// The adapter's line settings: 9600 baud, 7 data bits, even parity checked,
// one stop bit, CTS output flow, DTR on, RTS handshake, no XON/XOFF.
TDcbRecord BuildAdapterDcb();
