#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common2/ReceiveBuffer.h"

namespace {

// Feeds the buffer and returns every chunk it gives back.
class Framer {
public:
  std::vector<std::string> Feed(const std::string& bytes) {
    buffer.Append(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    std::vector<std::string> chunks;
    while (const size_t n = buffer.TakeChunk(chunk))
      chunks.emplace_back(reinterpret_cast<const char*>(chunk.data()), n);
    return chunks;
  }
  TReceiveBuffer buffer;
  std::array<uint8_t, TReceiveBuffer::Capacity> chunk{};
};

const std::string Reversal("\x02"
                           "00"
                           "\x03",
                           4);

TEST(ReceiveBufferTest, MergedPacketsComeOutInOrder) {
  Framer f;
  const std::string hook = "\x02"
                           "030520708OF\x03";
  EXPECT_EQ(f.Feed(Reversal + hook), (std::vector<std::string>{Reversal, hook}));
  EXPECT_EQ(f.buffer.Count(), 0);
}

TEST(ReceiveBufferTest, SplitPacketWaitsForItsEnd) {
  Framer f;
  const std::string hook = "\x02"
                           "030520708OF\x03";
  EXPECT_TRUE(f.Feed(hook.substr(0, 5)).empty());
  EXPECT_EQ(f.buffer.Count(), 5);
  EXPECT_EQ(f.Feed(hook.substr(5)), std::vector<std::string>{hook});
}

TEST(ReceiveBufferTest, StrayBytesStickToTheNextPacket) {
  Framer f;
  const std::string hook = "\x02"
                           "030520708OF\x03";
  EXPECT_EQ(f.Feed("\x41" + hook + hook), (std::vector<std::string>{"\x41" + hook, hook}));
}

TEST(ReceiveBufferTest, LoneEtxFirstWaitsForTheNextEtx) {
  Framer f;
  EXPECT_TRUE(f.Feed("\x03").empty());
  EXPECT_EQ(f.buffer.Count(), 1);
  EXPECT_EQ(f.Feed("ab\x03"), std::vector<std::string>{"\x03"
                                                       "ab\x03"});
  // Two ETX in a row: the second ends the chunk that the first begins.
  EXPECT_EQ(f.Feed("\x03\x03"), std::vector<std::string>{"\x03\x03"});
}

TEST(ReceiveBufferTest, NeverHoldsMoreThanItsCapacity) {
  Framer f;
  const std::string noise(1024, 'x');
  for (int i = 0; i < 12; ++i) {
    EXPECT_TRUE(f.Feed(noise).empty());
    EXPECT_LE(f.buffer.Count(), static_cast<int32_t>(TReceiveBuffer::Capacity));
  }
  EXPECT_EQ(f.buffer.Count(), static_cast<int32_t>(TReceiveBuffer::Capacity));
  // The packet right after the noise carries it and is dropped by its length;
  // the one after that is whole.
  const auto chunks = f.Feed(Reversal + Reversal);
  ASSERT_EQ(chunks.size(), 2u);
  EXPECT_EQ(chunks[0].size(), TReceiveBuffer::Capacity - Reversal.size());
  EXPECT_EQ(chunks[1], Reversal);
}

TEST(ReceiveBufferTest, AnOversizedAppendKeepsItsNewestBytes) {
  TReceiveBuffer buffer;
  std::vector<uint8_t> big(TReceiveBuffer::Capacity + 10, 'y');
  big.back() = 'z';
  buffer.Append(big);
  EXPECT_EQ(buffer.Count(), static_cast<int32_t>(TReceiveBuffer::Capacity));
  EXPECT_EQ(buffer.Bytes().back(), 'z');
}

} // namespace
