#include <gtest/gtest.h>

#include "platform/TermiosSettings.h"

namespace {

TDcbRecord AdapterLikeRecord() {
  TDcbRecord dcb{};
  DcbWrite32(dcb, DcbLayout::Length, 28);
  DcbWrite32(dcb, DcbLayout::BaudRate, 9600);
  DcbWrite32(dcb, DcbLayout::Flags,
             DcbLayout::fBinary | DcbLayout::fParity | DcbLayout::fOutxCtsFlow | (1u << 4) |
                 (2u << 12) | DcbLayout::fAbortOnError);
  dcb[DcbLayout::ByteSize] = 7;
  dcb[DcbLayout::Parity] = 2;
  dcb[DcbLayout::XonChar] = 0x11;
  dcb[DcbLayout::XoffChar] = 0x13;
  return dcb;
}

TEST(TermiosSettingsTest, AdapterLineIs9600SevenEvenOneWithHardwareFlow) {
  termios tio{};
  tio.c_iflag = IXON | IXOFF | ICRNL;
  tio.c_lflag = ICANON | ECHO;
  DcbToTermios(AdapterLikeRecord(), tio);
  EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS7));
  EXPECT_NE(tio.c_cflag & PARENB, 0u);
  EXPECT_EQ(tio.c_cflag & PARODD, 0u);
  EXPECT_EQ(tio.c_cflag & CSTOPB, 0u);
  EXPECT_NE(tio.c_cflag & CRTSCTS, 0u);
  EXPECT_NE(tio.c_cflag & CREAD, 0u);
  EXPECT_NE(tio.c_cflag & CLOCAL, 0u);
  EXPECT_NE(tio.c_iflag & INPCK, 0u);
  EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL), 0u);
  EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);
  EXPECT_EQ(cfgetispeed(&tio), static_cast<speed_t>(B9600));
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B9600));
  EXPECT_EQ(tio.c_cc[VMIN], 1);
  EXPECT_EQ(tio.c_cc[VTIME], 0);
  EXPECT_EQ(tio.c_cc[VSTART], 0x11);
  EXPECT_EQ(tio.c_cc[VSTOP], 0x13);
}

TEST(TermiosSettingsTest, OtherFieldsMapToTheirFlags) {
  TDcbRecord dcb{};
  DcbWrite32(dcb, DcbLayout::BaudRate, 115200);
  DcbWrite32(dcb, DcbLayout::Flags, DcbLayout::fOutX | DcbLayout::fInX);
  dcb[DcbLayout::ByteSize] = 8;
  dcb[DcbLayout::Parity] = 1;
  dcb[DcbLayout::StopBits] = 2;
  termios tio{};
  DcbToTermios(dcb, tio);
  EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_NE(tio.c_cflag & PARODD, 0u);
  EXPECT_NE(tio.c_cflag & CSTOPB, 0u);
  EXPECT_EQ(tio.c_cflag & CRTSCTS, 0u);
  // Parity generated but not checked without fParity.
  EXPECT_EQ(tio.c_iflag & INPCK, 0u);
  EXPECT_NE(tio.c_iflag & IXON, 0u);
  EXPECT_NE(tio.c_iflag & IXOFF, 0u);
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B115200));
  EXPECT_EQ(TermiosSpeed(12345), static_cast<speed_t>(B9600));
}

} // namespace
