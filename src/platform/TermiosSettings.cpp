#include "platform/TermiosSettings.h"

#include <utility>

namespace {

tcflag_t CharacterSize(uint8_t byteSize) {
  switch (byteSize) {
  case 5:
    return CS5;
  case 6:
    return CS6;
  case 7:
    return CS7;
  default:
    return CS8;
  }
}

// Parity values: 0 none, 1 odd, 2 even, 3 mark, 4 space.
tcflag_t ParityFlags(uint8_t parity) {
  switch (parity) {
  case 1:
    return PARENB | PARODD;
  case 2:
    return PARENB;
  case 3:
    return PARENB | PARODD | CMSPAR;
  case 4:
    return PARENB | CMSPAR;
  default:
    return 0;
  }
}

} // namespace

speed_t TermiosSpeed(uint32_t baudRate) {
  static constexpr std::pair<uint32_t, speed_t> speeds[] = {
      {300, B300},     {600, B600},       {1200, B1200},    {2400, B2400},
      {4800, B4800},   {9600, B9600},     {19200, B19200},  {38400, B38400},
      {57600, B57600}, {115200, B115200}, {230400, B230400}};
  for (const auto& [rate, speed] : speeds) {
    if (rate == baudRate)
      return speed;
  }
  return B9600;
}

void DcbToTermios(const TDcbRecord& dcb, termios& tio) {
  using namespace DcbLayout;
  const uint32_t flags = DcbRead32(dcb, Flags);
  const uint32_t rtsControl = (flags >> RtsControlShift) & 3;

  cfmakeraw(&tio);
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | PARMRK | IGNPAR);
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  tio.c_cflag |= CREAD | CLOCAL | CharacterSize(dcb[ByteSize]) | ParityFlags(dcb[Parity]);
  if (dcb[StopBits] != 0)
    tio.c_cflag |= CSTOPB;
  if ((flags & fParity) != 0 && dcb[Parity] != 0)
    tio.c_iflag |= INPCK;
  // termios has one switch for both directions of hardware flow control.
  if ((flags & fOutxCtsFlow) != 0 || rtsControl == RtsHandshake)
    tio.c_cflag |= CRTSCTS;
  if ((flags & fOutX) != 0)
    tio.c_iflag |= IXON;
  if ((flags & fInX) != 0)
    tio.c_iflag |= IXOFF;
  tio.c_cc[VSTART] = dcb[XonChar];
  tio.c_cc[VSTOP] = dcb[XoffChar];
  // With a non-blocking descriptor, VMIN 1 makes an empty read fail with
  // EAGAIN, so a read of 0 bytes always means the other side hung up.
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  const speed_t speed = TermiosSpeed(DcbRead32(dcb, BaudRate));
  cfsetispeed(&tio, speed);
  cfsetospeed(&tio, speed);
}
