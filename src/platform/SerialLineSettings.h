#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The 28-byte line-settings record the adapter's settings are written in (the
// layout of the Windows DCB, kept so the settings stay one byte-exact record).
using TDcbRecord = std::array<uint8_t, 28>;

namespace DcbLayout {
constexpr size_t Length = 0;    // 32-bit
constexpr size_t BaudRate = 4;  // 32-bit
constexpr size_t Flags = 8;     // 32-bit bit field
constexpr size_t Reserved = 12; // 16-bit
constexpr size_t XonLim = 14;   // 16-bit
constexpr size_t XoffLim = 16;  // 16-bit
constexpr size_t ByteSize = 18;
constexpr size_t Parity = 19;
constexpr size_t StopBits = 20;
constexpr size_t XonChar = 21;
constexpr size_t XoffChar = 22;
constexpr size_t ErrorChar = 23;
constexpr size_t EofChar = 24;
constexpr size_t EvtChar = 25;
constexpr size_t Reserved1 = 26; // 16-bit

constexpr uint32_t fBinary = 0x1;
constexpr uint32_t fParity = 0x2;
constexpr uint32_t fOutxCtsFlow = 0x4;
constexpr uint32_t fOutxDsrFlow = 0x8;
constexpr uint32_t DtrControlShift = 4;
constexpr uint32_t fDsrSensitivity = 0x40;
constexpr uint32_t fTXContinueOnXoff = 0x80;
constexpr uint32_t fOutX = 0x100;
constexpr uint32_t fInX = 0x200;
constexpr uint32_t fErrorChar = 0x400;
constexpr uint32_t fNull = 0x800;
constexpr uint32_t RtsControlShift = 12;
constexpr uint32_t fAbortOnError = 0x4000;

constexpr uint8_t EvenParity = 2;
constexpr uint8_t RtsHandshake = 2;
} // namespace DcbLayout

// Little-endian field access on the record.
uint32_t DcbRead32(const TDcbRecord& dcb, size_t offset);
uint16_t DcbRead16(const TDcbRecord& dcb, size_t offset);
void DcbWrite32(TDcbRecord& dcb, size_t offset, uint32_t value);
void DcbWrite16(TDcbRecord& dcb, size_t offset, uint16_t value);
