#include "base/Utf8Text.h"

namespace {

bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// Length of the sequence starting at p, or 0 when it is malformed.
size_t SequenceLength(const unsigned char* p, size_t left) {
  const unsigned char lead = p[0];
  size_t length;
  unsigned char lowSecond = 0x80;
  unsigned char highSecond = 0xBF;
  if (lead < 0x80)
    return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0)
      lowSecond = 0xA0; // overlong
    else if (lead == 0xED)
      highSecond = 0x9F; // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0)
      lowSecond = 0x90;
    else if (lead == 0xF4)
      highSecond = 0x8F;
  } else {
    return 0;
  }
  if (left < length || p[1] < lowSecond || p[1] > highSecond)
    return 0;
  for (size_t i = 2; i < length; ++i) {
    if (!IsContinuation(p[i]))
      return 0;
  }
  return length;
}

} // namespace

std::optional<size_t> Utf8CharCount(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t left = bytes.size();
  size_t count = 0;
  while (left > 0) {
    const size_t n = SequenceLength(p, left);
    if (n == 0)
      return std::nullopt;
    p += n;
    left -= n;
    ++count;
  }
  return count;
}

bool IsValidUtf8(std::string_view bytes) {
  return Utf8CharCount(bytes).has_value();
}

std::string Utf8OrEmpty(std::string_view bytes) {
  if (!IsValidUtf8(bytes))
    return {};
  return std::string(bytes);
}
