#include "platform/SerialLineSettings.h"

uint32_t DcbRead32(const TDcbRecord& dcb, size_t offset) {
  return static_cast<uint32_t>(dcb[offset]) | static_cast<uint32_t>(dcb[offset + 1]) << 8 |
         static_cast<uint32_t>(dcb[offset + 2]) << 16 |
         static_cast<uint32_t>(dcb[offset + 3]) << 24;
}

uint16_t DcbRead16(const TDcbRecord& dcb, size_t offset) {
  return static_cast<uint16_t>(dcb[offset] | dcb[offset + 1] << 8);
}

void DcbWrite32(TDcbRecord& dcb, size_t offset, uint32_t value) {
  for (size_t i = 0; i < 4; ++i)
    dcb[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

void DcbWrite16(TDcbRecord& dcb, size_t offset, uint16_t value) {
  dcb[offset] = static_cast<uint8_t>(value);
  dcb[offset + 1] = static_cast<uint8_t>(value >> 8);
}
