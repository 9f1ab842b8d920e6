#include "base/CodePage.h"

#include <cerrno>
#include <iconv.h>

namespace {

class TConverter {
public:
  TConverter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~TConverter() {
    if (Valid())
      iconv_close(cd_);
  }
  TConverter(const TConverter&) = delete;
  TConverter& operator=(const TConverter&) = delete;
  bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t Handle() const { return cd_; }

private:
  iconv_t cd_;
};

// Bytes of the character that could not be converted, to skip over it.
size_t Utf8Skip(const unsigned char* p, size_t left) {
  size_t want = 1;
  if (p[0] >= 0xF0 && p[0] <= 0xF4)
    want = 4;
  else if (p[0] >= 0xE0)
    want = p[0] <= 0xEF ? 3 : 1;
  else if (p[0] >= 0xC2)
    want = 2;
  size_t n = 1;
  while (n < want && n < left && (p[n] & 0xC0) == 0x80)
    ++n;
  return n;
}

size_t Cp932Skip(const unsigned char* p, size_t left) {
  if (IsCp932LeadByte(p[0]) && left >= 2 && p[1] >= 0x40 && p[1] != 0x7F && p[1] <= 0xFC)
    return 2;
  return 1;
}

std::string Convert(const TConverter& conv, std::string_view in, bool fromUtf8) {
  std::string out;
  if (in.empty())
    return out;
  if (!conv.Valid())
    return std::string(in);
  iconv(conv.Handle(), nullptr, nullptr, nullptr, nullptr);
  out.resize(in.size() * 2 + 8);
  char* inp = const_cast<char*>(in.data());
  size_t inLeft = in.size();
  size_t used = 0;
  while (inLeft > 0) {
    char* outp = out.data() + used;
    size_t outLeft = out.size() - used;
    const size_t r = iconv(conv.Handle(), &inp, &inLeft, &outp, &outLeft);
    const int err = errno;
    used = out.size() - outLeft;
    if (r != static_cast<size_t>(-1))
      break;
    if (err == E2BIG || outLeft < 4) {
      out.resize(out.size() * 2);
      continue;
    }
    // Unmappable or malformed: one "?" for the whole character, then go on.
    out[used++] = '?';
    const auto* bytes = reinterpret_cast<const unsigned char*>(inp);
    const size_t skip = fromUtf8 ? Utf8Skip(bytes, inLeft) : Cp932Skip(bytes, inLeft);
    inp += skip;
    inLeft -= skip;
  }
  out.resize(used);
  return out;
}

} // namespace

bool IsCp932LeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

std::string Utf8ToCp932(std::string_view utf8) {
  thread_local TConverter conv("CP932", "UTF-8");
  return Convert(conv, utf8, true);
}

std::string Cp932ToUtf8(std::string_view cp932) {
  thread_local TConverter conv("UTF-8", "CP932");
  return Convert(conv, cp932, false);
}

size_t Cp932ByteLength(std::string_view utf8) {
  return Utf8ToCp932(utf8).size();
}
