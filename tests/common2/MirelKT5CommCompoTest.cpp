#include <cerrno>

#include "base/Clock.h"
#include "common2/CompoFixture.h"
#include "common2/MirelKT5CommError.h"

namespace {

class OpenCloseTest : public CompoFixture {
protected:
  // Opens the port and waits until the watch thread has framed a caller number.
  void OpenAndFrameANumber() {
    compo->OnAsyncTrace = [this](TMirelKT5CommCompo&, const std::string& msg, uint32_t) {
      if (msg == "着信情報Paket")
        framed = true;
    };
    compo->Open();
    line->Receive(NumberPacket);
    ASSERT_TRUE(WaitFor([&] { return framed.load(); }));
  }
  std::atomic<bool> framed{false};
};

TEST_F(OpenCloseTest, BareNameOpensUnderDevAndPathsStayAsGiven) {
  compo->Open();
  EXPECT_TRUE(compo->Active());
  EXPECT_EQ(line->OpenedPath(), "/dev/ttyUSB0");
  EXPECT_GE(line->PurgeCount(), 1);
  compo->Close();
  EXPECT_FALSE(compo->Active());
  EXPECT_FALSE(line->DeviceOpen());
  compo->SetPortName("/tmp/adapter");
  compo->SetActive(true);
  EXPECT_EQ(line->OpenedPath(), "/tmp/adapter");
  ASSERT_TRUE(PumpUntilTrace("***回線オープン***"));
}

TEST_F(OpenCloseTest, FailedOpenRaisesWithTheNameAndStaysClosed) {
  line->FailOpen(ENOENT);
  compo->SetPortName("ttyUSB9");
  try {
    compo->Open();
    FAIL() << "no error";
  } catch (const EMirelKT5CommError& e) {
    EXPECT_EQ(e.ErrCode, 0x101u);
    EXPECT_EQ(e.W32ErrCode, static_cast<uint32_t>(ENOENT));
    EXPECT_STREQ(e.what(), "ttyUSB9ポートをオープンできません。");
  }
  EXPECT_FALSE(compo->Active());
  EXPECT_FALSE(compo->CheckModemStatus());
}

TEST_F(OpenCloseTest, PortNameOnlyChangesWhileClosed) {
  compo->Open();
  EXPECT_NO_THROW(compo->SetPortName("ttyUSB0"));
  try {
    compo->SetPortName("ttyUSB1");
    FAIL() << "no error";
  } catch (const EMirelKT5CommError& e) {
    EXPECT_EQ(e.ErrCode, 0x110u);
    EXPECT_STREQ(e.what(), "回線をクローズしてから設定して下さい。");
  }
  EXPECT_EQ(compo->PortName(), "ttyUSB0");
}

TEST_F(OpenCloseTest, SettingsFailureIsATraceAndThePortStaysOpen) {
  line->FailConfigure(EINVAL);
  compo->Open();
  EXPECT_TRUE(compo->Active());
  EXPECT_TRUE(PumpUntilTrace("SetCommState#" + std::to_string(EINVAL)));
}

TEST_F(OpenCloseTest, CloseWhileTheWatchThreadWaitsEndsItQuietly) {
  compo->Open();
  ASSERT_TRUE(WaitFor([&] { return line->Waiting(); }));
  compo->Close();
  EXPECT_FALSE(line->DeviceOpen());
  post->Pump();
  for (const auto& t : traces)
    EXPECT_EQ(t.find("WaitCommEvent"), std::string::npos);
}

TEST_F(OpenCloseTest, DeliveriesQueuedAtCloseAreDropped) {
  OpenAndFrameANumber();
  compo->Close(); // joins the watch thread: everything it posted is queued
  EXPECT_GT(post->Pending(), 0u);
  post->Pump();
  EXPECT_TRUE(events.empty());
  EXPECT_TRUE(traces.empty());
}

// The program ending right after a caller number was read: the close hands
// what was read, and what still waits in the driver's queue, to the
// handlers in order; handlers that close the port close it as Close does.
TEST_F(OpenCloseTest, CloseAfterPendingHandsOnWhatWasReadFirst) {
  OpenAndFrameANumber();
  line->HoldEvents(true);
  line->Receive(FakePackets::Hook("030520709", "UR"));
  compo->CloseAfterPending();
  EXPECT_EQ(events, (std::vector<std::string>{"phone:" + NumberPacket,
                                              "hook:" + FakePackets::Hook("030520709", "UR")}));
  EXPECT_FALSE(compo->InHandler());
  post->Pump();
  EXPECT_EQ(events.size(), 2u);

  // From inside a handler nothing runs ahead of it: the rest is dropped.
  line->HoldEvents(false);
  compo->OnKyokuseiHanten = [&](TMirelKT5CommCompo& c, const TKyokuseiHantenPacket&) {
    EXPECT_TRUE(c.InHandler());
    c.CloseAfterPending();
  };
  framed = false;
  compo->Open();
  line->Receive(ReversalPacket + NumberPacket);
  ASSERT_TRUE(WaitFor([&] { return framed.load(); }));
  post->Pump();
  EXPECT_FALSE(compo->Active());
  EXPECT_EQ(events.size(), 2u);
}

TEST_F(OpenCloseTest, QueueCountsOfAClosedPortAreZeroWithATrace) {
  EXPECT_EQ(compo->InQueueSize(), 0);
  EXPECT_FALSE(compo->IsCtsOn());
  EXPECT_TRUE(PumpUntilTrace("ClearCommError#" + std::to_string(EBADF)));
  EXPECT_TRUE(PumpUntilTrace("GetCommModemStatus#" + std::to_string(EBADF)));
}

TEST_F(OpenCloseTest, WithoutAPostTargetTheOwnerMustAskForAsyncHandling) {
  TMirelKT5CommCompo bare(nullptr, line->Factory());
  EXPECT_THROW(bare.Open(), Exception);
  bare.SetAsyncHandling(true);
  EXPECT_NO_THROW(bare.Open());
}

using ReceiveTest = CompoFixture;

TEST_F(ReceiveTest, CallerNumberArrivesOnceOnTheOwnerThreadWithItsTraceLines) {
  compo->Open();
  line->Receive(NumberPacket);
  ASSERT_TRUE(PumpUntilEvents(1));
  post->Pump();
  EXPECT_EQ(events, std::vector<std::string>{"phone:" + NumberPacket});
  EXPECT_EQ(handlerThreads.front(), std::this_thread::get_id());
  const std::vector<std::string> expected = {"***ＣＴＳオン***", "INキューサイズ : 31",
                                             "パケット読み込み", "着信情報Paket"};
  auto it = std::search(traces.begin(), traces.end(), expected.begin(), expected.end());
  EXPECT_NE(it, traces.end());
}

TEST_F(ReceiveTest, MergedPacketsAreDispatchedInArrivalOrder) {
  compo->Open();
  const std::string hook = FakePackets::Hook("030520708", "OF");
  line->Receive(ReversalPacket + NumberPacket + hook);
  ASSERT_TRUE(PumpUntilEvents(3));
  EXPECT_EQ(events, (std::vector<std::string>{"reversal:" + ReversalPacket, "phone:" + NumberPacket,
                                              "hook:" + hook}));
}

TEST_F(ReceiveTest, SplitPacketIsDispatchedWholeOnTheSecondEvent) {
  compo->Open();
  line->Receive(NumberPacket.substr(0, 12));
  ASSERT_TRUE(PumpUntilTrace("INキューサイズ : 12"));
  EXPECT_TRUE(events.empty());
  line->Receive(NumberPacket.substr(12));
  ASSERT_TRUE(PumpUntilEvents(1));
  EXPECT_EQ(events.front(), "phone:" + NumberPacket);
}

TEST_F(ReceiveTest, StrayByteCostsOnePacketAndFramingRecovers) {
  compo->Open();
  line->Receive("\x41" + NumberPacket + ReversalPacket);
  ASSERT_TRUE(PumpUntilEvents(1));
  post->Pump();
  EXPECT_EQ(events, std::vector<std::string>{"reversal:" + ReversalPacket});
}

TEST_F(ReceiveTest, NoiseWithoutEtxNeitherOverflowsNorLosesLaterPackets) {
  compo->Open();
  line->Receive(std::string(10 * 1024, 'n'));
  line->Receive(ReversalPacket + NumberPacket);
  ASSERT_TRUE(PumpUntilEvents(1));
  EXPECT_EQ(events.front(), "phone:" + NumberPacket);
}

TEST_F(ReceiveTest, CtsOffIsReported) {
  line->SetCts(false);
  compo->Open();
  line->Receive(ReversalPacket);
  ASSERT_TRUE(PumpUntilEvents(1));
  EXPECT_TRUE(HasTraceLocked("***ＣＴＳオフ***"));
  EXPECT_FALSE(compo->IsCtsOn());
}

TEST_F(ReceiveTest, ShortReadIsAnErrorAndLaterPacketsStillArrive) {
  compo->Open();
  line->ShortRead(5);
  line->Receive(NumberPacket);
  ASSERT_TRUE(PumpUntil([&] { return !errors.empty(); }));
  EXPECT_EQ(errors.front(), "読み込み不足です。（要求=31 実際=5）");
  EXPECT_TRUE(HasTraceLocked("重複したI/O処理を実行中(R)"));
  // The held-back tail is framed (and dropped) with the next bytes.
  line->Receive(ReversalPacket);
  ASSERT_TRUE(PumpUntilEvents(1));
  EXPECT_EQ(events, std::vector<std::string>{"reversal:" + ReversalPacket});
}

TEST_F(ReceiveTest, HandlerFailureGoesToTheErrorPathAndDeliveryGoesOn) {
  int calls = 0;
  compo->OnKyokuseiHanten = [&](TMirelKT5CommCompo&, const TKyokuseiHantenPacket&) {
    if (++calls == 1)
      throw std::runtime_error("handler broke");
  };
  compo->OnError = [&](TMirelKT5CommCompo&, const std::string& msg) {
    errors.push_back(msg);
    throw std::runtime_error("error handler broke too");
  };
  compo->Open();
  line->Receive(ReversalPacket);
  ASSERT_TRUE(PumpUntil([&] { return !errors.empty(); }));
  line->Receive(ReversalPacket);
  ASSERT_TRUE(PumpUntil([&] { return calls == 2; }));
  EXPECT_EQ(errors, std::vector<std::string>{"handler broke"});
}

TEST_F(ReceiveTest, AsyncHandlingCallsHandlersOnTheWatchThread) {
  compo->SetAsyncHandling(true);
  compo->Open();
  line->Receive(ReversalPacket);
  ASSERT_TRUE(WaitFor([&] {
    std::lock_guard lock(mutex);
    return !events.empty();
  }));
  std::lock_guard lock(mutex);
  EXPECT_NE(handlerThreads.front(), std::this_thread::get_id());
  EXPECT_EQ(post->Pending(), 0u);
}

TEST_F(ReceiveTest, HangUpIsAFailedWaitReportedOnceASecondUntilTheOwnerCloses) {
  SetFixedNow(EncodeDateTime({2024, 3, 5, 7, 0, 0, 0}));
  compo->Open();
  line->HangUp();
  const std::string failed = "WaitCommEvent#" + std::to_string(EIO);
  const auto reported = [&] { return std::count(traces.begin(), traces.end(), failed); };
  const int waits = line->WaitCount();
  ASSERT_TRUE(WaitFor([&] { return line->WaitCount() > waits + 5; }));
  ASSERT_TRUE(PumpUntil([&] { return reported() == 1; }));
  AdvanceFixedNow(OneSecond);
  ASSERT_TRUE(PumpUntil([&] { return reported() == 2; }));
  EXPECT_FALSE(compo->CheckModemStatus());
  compo->Close();
  post->Pump();
  EXPECT_EQ(reported(), 2);
  ClearFixedNow();
}

TEST_F(ReceiveTest, ReceiveStepDrivenDirectlyReadsAtMost1024BytesPerEvent) {
  line->HoldEvents(true);
  compo->Open();
  line->Receive(std::string(1500, 'z'));
  EXPECT_EQ(compo->ReceiveStep(true), TMirelKT5CommCompo::TReceiveResult::Received);
  EXPECT_EQ(line->InQueueBytes(), 1500u - 1024u);
  EXPECT_EQ(compo->ReceiveStep(true), TMirelKT5CommCompo::TReceiveResult::Received);
  EXPECT_EQ(compo->ReceiveStep(true), TMirelKT5CommCompo::TReceiveResult::Empty);
}

} // namespace
