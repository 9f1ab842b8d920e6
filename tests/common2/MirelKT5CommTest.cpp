#include <gtest/gtest.h>

#include <cerrno>

#include "base/Clock.h"
#include "base/PostTarget.h"
#include "common2/MirelKT5Comm.h"
#include "common2/MirelKT5CommException.h"
#include "fakes/FakeSerialDevice.h"

namespace {

using Ms = std::chrono::milliseconds;

class SessionTest : public ::testing::Test {
protected:
  void SetUp() override {
    SetFixedNow(EncodeDateTime({2024, 3, 10, 9, 0, 0, 0}));
    comm.PortName = "ttyUSB0";
    comm.OnGroup = [this](TMirelKT5CommBase&, const IKT5GroupEventArgs& a) {
      log.push_back("group" + std::to_string(a->PacketKind));
      groups.push_back(a);
    };
    comm.OnClosed = [this](TMirelKT5CommBase&, const IKT5ClosedEventArgs& a) {
      log.push_back(a->Forced ? "closed-forced" : "closed");
    };
    comm.OnTrace = [this](TMirelKT5CommBase&, const IKT5TraceEventArgs& a) { traces.push_back(a); };
  }
  void TearDown() override { ClearFixedNow(); }

  bool PumpUntilLog(size_t n) {
    return post->PumpUntil([&] { return log.size() >= n; }, Ms(5000));
  }
  bool HasTrace(uint8_t level, const std::string& message) const {
    for (const auto& t : traces) {
      if (t->Level == level && t->Message == message)
        return true;
    }
    return false;
  }
  template <typename F> EMirelKT5CommException Raised(F f) {
    try {
      f();
    } catch (const EMirelKT5CommException& e) {
      return e;
    }
    ADD_FAILURE() << "nothing raised";
    return EMirelKT5CommException(0, "");
  }

  std::shared_ptr<TQueuedPostTarget> post = std::make_shared<TQueuedPostTarget>();
  TFakeSerialLinePtr line = TFakeSerialLine::Create();
  TMirelKT5Comm comm{post, line->Factory()};
  std::vector<std::string> log;
  std::vector<IKT5GroupEventArgs> groups;
  std::vector<IKT5TraceEventArgs> traces;
};

TEST_F(SessionTest, OpenChecksThePortName) {
  comm.PortName = " \t ";
  const auto e = Raised([&] { comm.Open(); });
  EXPECT_EQ(e.ErrorKind, 3);
  EXPECT_STREQ(e.what(), "COMポートが設定されていません。");
  EXPECT_TRUE(HasTrace(2, "COMポートが設定されていません。"));
  EXPECT_EQ(line->OpenCount(), 0);
}

TEST_F(SessionTest, OpenFailureCarriesTheCauseAndTwiceOpenIsATrace) {
  line->FailOpen(EBUSY);
  comm.PortName = "ttyUSB9";
  const auto e = Raised([&] { comm.Open(); });
  EXPECT_EQ(e.ErrorKind, 2);
  EXPECT_STREQ(e.what(), "ttyUSB9 ポートをオープンできません。");
  EXPECT_EQ(e.Detail, "ttyUSB9ポートをオープンできません。");
  EXPECT_FALSE(comm.IsOpen());
  line->FailOpen(0);
  comm.Open();
  EXPECT_TRUE(comm.IsOpen());
  EXPECT_NO_THROW(comm.Open());
  EXPECT_TRUE(HasTrace(2, "既にオープンしています。"));
}

TEST_F(SessionTest, CloseEndsTheCallThenAndTellsTheOwnerUnlessSilent) {
  comm.Open();
  line->Receive(FakePackets::KyokuseiHanten() +
                FakePackets::PhoneNumber("031000900", "0312345678") +
                FakePackets::Hook("031000900", "OF"));
  ASSERT_TRUE(PumpUntilLog(3));
  AdvanceFixedNow(4 * OneSecond);
  comm.Close(false);
  EXPECT_EQ(log,
            (std::vector<std::string>{"group1", "group2", "group3", "group4", "group7", "closed"}));
  EXPECT_EQ(groups[3]->TalkSeconds, 4);
  comm.Close(false);
  comm.Open();
  comm.Close(true);
  EXPECT_EQ(log.size(), 6u);
}

TEST_F(SessionTest, FailingClosedHandlerBecomesATrace) {
  comm.OnClosed = [](TMirelKT5CommBase&, const IKT5ClosedEventArgs&) {
    throw std::runtime_error("closed handler");
  };
  comm.Open();
  EXPECT_NO_THROW(comm.Close(false));
  EXPECT_TRUE(HasTrace(2, "COMポートをクローズできません。"));
  EXPECT_EQ(traces.back()->ExceptionMessage, "closed handler");
}

TEST_F(SessionTest, PacketsBecomeGroupsAndUnknownHookLettersChangeNothing) {
  comm.Open();
  line->Receive(FakePackets::KyokuseiHanten());
  line->Receive(FakePackets::PhoneNumber("031000900", "P"));
  line->Receive(FakePackets::Hook("031000900", "XX"));
  line->Receive(FakePackets::Hook("031000900", "UR"));
  ASSERT_TRUE(PumpUntilLog(4));
  post->Pump();
  EXPECT_EQ(log, (std::vector<std::string>{"group1", "group2", "group5", "group7"}));
  EXPECT_EQ(groups[1]->PhoneNumber, "P");
  EXPECT_EQ(groups[1]->NumberKind, 2);
  EXPECT_EQ(groups[1]->IncomingDateTime, EncodeDateTime({2024, 3, 10, 9, 0, 0, 0}));
  EXPECT_TRUE(HasTrace(0, "[Mirel.Trace] 着信情報Paket (W32ErrCode=0)"));
}

TEST_F(SessionTest, UnplugDuringACallEndsItAndClosesForced) {
  comm.Open();
  line->Receive(FakePackets::KyokuseiHanten() +
                FakePackets::PhoneNumber("031000900", "0312345678") +
                FakePackets::Hook("031000900", "OF"));
  ASSERT_TRUE(PumpUntilLog(3));
  line->HangUp();
  ASSERT_TRUE(PumpUntilLog(6));
  post->Pump();
  EXPECT_EQ(log, (std::vector<std::string>{"group1", "group2", "group3", "group4", "group7",
                                           "closed-forced"}));
  EXPECT_EQ(groups[3]->OnHookDateTime, groups[3]->OnHookReceivedAt);
  EXPECT_FALSE(comm.IsOpen());
  EXPECT_FALSE(line->DeviceOpen());
  const std::string lost = "MirelのWaitCommEventエラーが発生しました。Win32ErrCode=[" +
                           std::to_string(EIO) + "] Msg=[WaitCommEvent]";
  EXPECT_TRUE(HasTrace(0, lost));
  // Later failed waits were queued for the closed port and are dropped.
  EXPECT_EQ(std::count(log.begin(), log.end(), "closed-forced"), 1);
}

TEST_F(SessionTest, ReadMemoryDecodesTheRecord) {
  line->SetWriteHook([](TFakeSerialLine& l, const TFakeSerialLine::TBytes&) {
    l.Receive(FakePackets::MemoryRecord("031000900", "0312345678", "031000905", "OF"));
  });
  comm.Open();
  IKT5MirelKT5ReceivePacket packet;
  comm.ReadMemory(7, packet);
  ASSERT_TRUE(packet);
  EXPECT_EQ(packet->PacketKind, 6);
  EXPECT_EQ(packet->PhoneNumber, "0312345678");
  EXPECT_TRUE(packet->Answered);
  EXPECT_EQ(line->Written(), TFakeSerialLine::TBytes({0x02, 'M', 'T', '0', '7', 0x03}));
}

TEST_F(SessionTest, ExchangeFailuresBecomeSessionErrors) {
  IKT5MirelKT5ReceivePacket packet;
  auto e = Raised([&] { comm.ReadMemory(1, packet); });
  EXPECT_EQ(e.ErrorKind, 5);
  EXPECT_STREQ(e.what(), "メモリ読み出しエラー");
  EXPECT_EQ(e.Detail, "ポートはオープンしていません。");
  comm.Open();
  line->SetCts(false);
  e = Raised([&] { comm.SetDateTime(Now()); });
  EXPECT_EQ(e.ErrorKind, 8);
  EXPECT_STREQ(e.what(), "Mirel時刻設定エラー");
  EXPECT_EQ(e.Detail, "CTS がオフ状態のため通信できません。");
}

} // namespace
