#include "common2/DCBObject.h"

#include <array>

namespace {

using namespace DcbLayout;

constexpr std::array<uint32_t, 11> FlagBits = {
    fBinary, fParity, fOutxCtsFlow, fOutxDsrFlow, fDsrSensitivity, fTXContinueOnXoff,
    fOutX,   fInX,    fErrorChar,   fNull,        fAbortOnError};
constexpr std::array<size_t, 2> DWordOffsets = {Length, BaudRate};
constexpr std::array<size_t, 4> WordOffsets = {Reserved, XonLim, XoffLim, Reserved1};
constexpr std::array<size_t, 3> ByteOffsets = {ByteSize, Parity, StopBits};
constexpr std::array<size_t, 5> CharOffsets = {XonChar, XoffChar, ErrorChar, EofChar, EvtChar};

template <size_t N> bool InRange(const std::array<size_t, N>&, int index) {
  return index >= 0 && static_cast<size_t>(index) < N;
}

} // namespace

void TDCBObject::SetDWordValue(int index, uint32_t value) {
  if (InRange(DWordOffsets, index))
    DcbWrite32(record_, DWordOffsets[static_cast<size_t>(index)], value);
}

void TDCBObject::SetFlag(int index, bool value) {
  if (index < 0 || static_cast<size_t>(index) >= FlagBits.size())
    return;
  uint32_t flags = DcbRead32(record_, Flags);
  const uint32_t bit = FlagBits[static_cast<size_t>(index)];
  flags = value ? (flags | bit) : (flags & ~bit);
  DcbWrite32(record_, Flags, flags);
}

void TDCBObject::SetFlagsField(uint32_t shift, uint32_t value) {
  uint32_t flags = DcbRead32(record_, Flags);
  flags = (flags & ~(3u << shift)) | ((value & 3u) << shift);
  DcbWrite32(record_, Flags, flags);
}

void TDCBObject::SetDtrControl(uint32_t value) {
  SetFlagsField(DtrControlShift, value);
}

void TDCBObject::SetRtsControl(uint32_t value) {
  SetFlagsField(RtsControlShift, value);
}

void TDCBObject::SetWordValue(int index, uint16_t value) {
  if (InRange(WordOffsets, index))
    DcbWrite16(record_, WordOffsets[static_cast<size_t>(index)], value);
}

void TDCBObject::SetByteValue(int index, uint8_t value) {
  if (InRange(ByteOffsets, index))
    record_[ByteOffsets[static_cast<size_t>(index)]] = value;
}

void TDCBObject::SetCharValue(int index, char value) {
  if (InRange(CharOffsets, index))
    record_[CharOffsets[static_cast<size_t>(index)]] = static_cast<uint8_t>(value);
}

TDcbRecord BuildAdapterDcb() {
  TDCBObject dcb;
  dcb.SetDWordValue(0, 28);
  dcb.SetDWordValue(1, 9600);
  dcb.SetFlag(0, true);
  dcb.SetFlag(1, true);
  dcb.SetFlag(2, true);
  dcb.SetFlag(3, false);
  dcb.SetDtrControl(1);
  for (int flag = 4; flag <= 9; ++flag)
    dcb.SetFlag(flag, false);
  dcb.SetRtsControl(RtsHandshake);
  dcb.SetFlag(10, true);
  for (int word = 0; word <= 2; ++word)
    dcb.SetWordValue(word, 0);
  dcb.SetByteValue(0, 7);
  dcb.SetByteValue(1, EvenParity);
  dcb.SetByteValue(2, 0);
  dcb.SetCharValue(0, 0x11);
  dcb.SetCharValue(1, 0x13);
  for (int character = 2; character <= 4; ++character)
    dcb.SetCharValue(character, 0);
  return dcb.Record();
}
