#include <gtest/gtest.h>

#include "common2/DCBObject.h"

namespace {

uint32_t FlagsOf(const TDCBObject& dcb) {
  return DcbRead32(dcb.Record(), DcbLayout::Flags);
}

TEST(DCBObjectTest, StartsZeroed) {
  TDCBObject dcb;
  for (uint8_t b : dcb.Record())
    EXPECT_EQ(b, 0);
}

TEST(DCBObjectTest, FlagSetTwiceThenClearedIsClearAndOthersStay) {
  TDCBObject dcb;
  dcb.SetFlag(0, true);
  dcb.SetFlag(2, true);
  dcb.SetFlag(2, true);
  dcb.SetFlag(2, false);
  EXPECT_EQ(FlagsOf(dcb), DcbLayout::fBinary);
}

TEST(DCBObjectTest, DtrAfterRtsKeepsRts) {
  TDCBObject dcb;
  dcb.SetRtsControl(2);
  dcb.SetDtrControl(1);
  EXPECT_EQ((FlagsOf(dcb) >> 12) & 3, 2u);
  EXPECT_EQ((FlagsOf(dcb) >> 4) & 3, 1u);
}

TEST(DCBObjectTest, IndexesOutsideTheListsChangeNothing) {
  TDCBObject dcb;
  dcb.SetFlag(11, true);
  dcb.SetFlag(-1, true);
  dcb.SetDWordValue(2, 5);
  dcb.SetWordValue(4, 5);
  dcb.SetByteValue(3, 5);
  dcb.SetCharValue(5, 'x');
  for (uint8_t b : dcb.Record())
    EXPECT_EQ(b, 0);
}

TEST(DCBObjectTest, AdapterSettingsAreTheDocumentedRecord) {
  const TDcbRecord dcb = BuildAdapterDcb();
  EXPECT_EQ(DcbRead32(dcb, DcbLayout::Length), 28u);
  EXPECT_EQ(DcbRead32(dcb, DcbLayout::BaudRate), 9600u);
  // fBinary, fParity, fOutxCtsFlow, DTR enable (1 << 4), RTS handshake
  // (2 << 12), fAbortOnError.
  EXPECT_EQ(DcbRead32(dcb, DcbLayout::Flags), 0x1u | 0x2u | 0x4u | 0x10u | 0x2000u | 0x4000u);
  EXPECT_EQ(dcb[DcbLayout::ByteSize], 7);
  EXPECT_EQ(dcb[DcbLayout::Parity], 2);
  EXPECT_EQ(dcb[DcbLayout::StopBits], 0);
  EXPECT_EQ(dcb[DcbLayout::XonChar], 0x11);
  EXPECT_EQ(dcb[DcbLayout::XoffChar], 0x13);
  EXPECT_EQ(DcbRead16(dcb, DcbLayout::XonLim), 0);
  EXPECT_EQ(dcb[DcbLayout::EvtChar], 0);
}

} // namespace
