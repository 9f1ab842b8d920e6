#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <vector>

#include "base/PostTarget.h"
#include "common2/MirelKT5CommBase.h"
#include "core/MemoryCatchUp.h"

namespace {

using Ms = std::chrono::milliseconds;

// The adapter's memory with calls in records 2 and 5; the test may hold
// each read until it lets it through, and counts the reads.
class TMemorySession final : public TMirelKT5CommBase {
public:
  bool IsOpen() override { return true; }
  void Open() override {}
  void Close(bool) override {}
  void SetDateTime(TDateTime) override {}
  void ReadMemory(uint8_t index, IKT5MirelKT5ReceivePacket& packet) override {
    ++Reads;
    if (index == FailAt)
      throw std::runtime_error("メモリ読み出しエラー");
    packet = NewReceivePacket();
    packet->NoDateTime = index != 2 && index != 5;
    if (!packet->NoDateTime) {
      packet->IncomingDateTime = EncodeDateTime({2026, 3, 5, 10, index, 0, 0});
      packet->PhoneNumber = "03" + std::to_string(index);
      packet->Unanswered = true;
    }
  }
  std::atomic<int> Reads{0};
  int FailAt = 0;
};

class MemoryCatchUpTest : public ::testing::Test {
protected:
  void Start() {
    catchUp.Start(
        session, [this](const std::vector<TStoredCall>& calls) { read = calls; },
        [this](const std::string& message) { failure = message; });
  }
  bool Delivered() {
    return post->PumpUntil([this] { return !read.empty() || !failure.empty(); }, Ms(5000));
  }

  std::shared_ptr<TQueuedPostTarget> post = std::make_shared<TQueuedPostTarget>();
  TMemorySession session;
  TMemoryCatchUp catchUp{post};
  std::vector<TStoredCall> read;
  std::string failure;
};

TEST_F(MemoryCatchUpTest, ReadsThirtyRecordsAndDeliversTheCallsOnTheOwnersThread) {
  Start();
  ASSERT_TRUE(Delivered());
  EXPECT_EQ(session.Reads, TMemoryCatchUp::RecordCount);
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0].Number, "032");
  EXPECT_EQ(read[1].Number, "035");
}

// A ring holds the reads back until the call has ended.
TEST_F(MemoryCatchUpTest, ACallInProgressPausesTheReading) {
  catchUp.LineEvent(PacketKind::KyokuseiHanten);
  EXPECT_TRUE(catchUp.CallInProgress());
  Start();
  catchUp.LineEvent(PacketKind::PhoneNumber);
  post->WaitAndPump(Ms(50));
  EXPECT_EQ(session.Reads, 0);
  EXPECT_TRUE(read.empty());
  catchUp.LineEvent(PacketKind::Unanswered);
  EXPECT_FALSE(catchUp.CallInProgress());
  ASSERT_TRUE(Delivered());
  EXPECT_EQ(read.size(), 2u);
}

TEST_F(MemoryCatchUpTest, AFailedReadIsReportedAndAStoppedReadingDeliversNothing) {
  session.FailAt = 7;
  Start();
  ASSERT_TRUE(Delivered());
  EXPECT_EQ(failure, "メモリ読み出しエラー");
  EXPECT_TRUE(read.empty());
  // Stopped while a call holds it back: nothing more is read or delivered.
  failure.clear();
  session.FailAt = 0;
  session.Reads = 0;
  catchUp.LineEvent(PacketKind::KyokuseiHanten);
  Start();
  catchUp.Stop();
  post->Pump();
  EXPECT_EQ(session.Reads, 0);
  EXPECT_TRUE(read.empty());
  EXPECT_TRUE(failure.empty());
}

} // namespace
