#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "base/Clock.h"
#include "common2/MirelKT5CommBase.h"
#include "common2/SecondsBetween.h"
#include "fakes/PortlessSession.h"

namespace {

// A source with no device: packets of each kind are fed in by the test.
class TScriptedComm : public TPortlessSession {
public:
  void Feed(uint8_t kind) {
    TKT5MirelKT5ReceivePacket packet;
    packet.PacketKind = kind;
    if (kind == PacketKind::PhoneNumber) {
      packet.PhoneNumber = "0312345678";
      packet.NumberKind = 1;
      packet.IncomingDateTime = 45000.5;
    }
    if (kind >= PacketKind::OffHook)
      packet.EventDateTime = 45000.75;
    TPortlessSession::Feed(packet);
  }
  using TMirelKT5CommBase::FinishGroup;
};

class GroupTest : public ::testing::Test {
protected:
  void SetUp() override {
    SetFixedNow(EncodeDateTime({2024, 3, 5, 10, 0, 0, 0}));
    comm.OnGroup = [this](TMirelKT5CommBase&, const IKT5GroupEventArgs& args) {
      groups.push_back(args);
    };
  }
  void TearDown() override { ClearFixedNow(); }

  std::vector<int> Kinds() const {
    std::vector<int> kinds;
    for (const auto& g : groups)
      kinds.push_back(g->PacketKind);
    return kinds;
  }
  void Advance(int seconds) { AdvanceFixedNow(seconds * OneSecond); }

  TScriptedComm comm;
  std::vector<IKT5GroupEventArgs> groups;
};

TEST_F(GroupTest, AnsweredCallRunsOneToFourThenEnds) {
  comm.Feed(PacketKind::KyokuseiHanten);
  Advance(2);
  comm.Feed(PacketKind::PhoneNumber);
  SetFixedNow(Now() - 3600 * OneSecond); // the PC's clock is set meanwhile
  Advance(5);
  comm.Feed(PacketKind::OffHook);
  SetFixedNow(Now() + 1);
  Advance(30);
  comm.Feed(PacketKind::OnHook);
  EXPECT_EQ(Kinds(), (std::vector<int>{1, 2, 3, 4, 7}));
  for (const auto& g : groups)
    EXPECT_EQ(g->GroupNo, groups.front()->GroupNo);
  EXPECT_EQ(groups[2]->RingSeconds, 5);
  EXPECT_EQ(groups[3]->TalkSeconds, 30);
  EXPECT_EQ(groups[4]->TalkSeconds, 30);
  EXPECT_EQ(groups[3]->OnHookDateTime, 45000.75);
  EXPECT_TRUE(groups[3]->KyokuseiHantenReceived);
  EXPECT_FALSE(comm.Group().KyokuseiHantenReceived);
  // Every event hands out its own copy.
  EXPECT_NE(groups[0].get(), groups[1].get());
  EXPECT_EQ(groups[0]->PacketKind, 1);
}

TEST_F(GroupTest, UnansweredCallEndsWithFiveAndSeven) {
  comm.Feed(PacketKind::KyokuseiHanten);
  comm.Feed(PacketKind::PhoneNumber);
  comm.Feed(PacketKind::Unanswered);
  EXPECT_EQ(Kinds(), (std::vector<int>{1, 2, 5, 7}));
  EXPECT_TRUE(groups[2]->UnansweredReceived);
}

TEST_F(GroupTest, NewReversalFinishesTheOldGroupFirst) {
  comm.Feed(PacketKind::KyokuseiHanten);
  comm.Feed(PacketKind::PhoneNumber);
  const int32_t oldGroup = groups.back()->GroupNo;
  Advance(10);
  comm.Feed(PacketKind::KyokuseiHanten);
  EXPECT_EQ(Kinds(), (std::vector<int>{1, 2, 5, 7, 1}));
  EXPECT_EQ(groups[2]->GroupNo, oldGroup);
  EXPECT_EQ(groups[3]->GroupNo, oldGroup);
  EXPECT_EQ(groups[2]->UnansweredReceivedAt, Now());
  EXPECT_EQ(groups[2]->UnansweredDateTime, Now());
  EXPECT_GT(groups[4]->GroupNo, oldGroup);
  // The new group's first event still shows the old number.
  EXPECT_EQ(groups[4]->PhoneNumber, "0312345678");
  EXPECT_FALSE(groups[4]->NumberReceived);
}

TEST_F(GroupTest, ReversalAloneRaisesNothingForItsGroupAtTheSwitch) {
  comm.Feed(PacketKind::KyokuseiHanten);
  comm.Feed(PacketKind::KyokuseiHanten);
  EXPECT_EQ(Kinds(), (std::vector<int>{1, 1}));
}

TEST_F(GroupTest, NumberWithoutReversalNeverEnds) {
  TScriptedComm fresh;
  std::vector<int> kinds;
  fresh.OnGroup = [&](TMirelKT5CommBase&, const IKT5GroupEventArgs& a) {
    kinds.push_back(a->PacketKind);
  };
  fresh.Feed(PacketKind::PhoneNumber);
  fresh.Feed(PacketKind::OnHook);
  EXPECT_EQ(kinds, (std::vector<int>{2, 4}));
}

TEST_F(GroupTest, MomentsNeverSeenCountNoSeconds) {
  // Off-hook in the first group, which has no start and no number; on-hook
  // without an off-hook.
  TScriptedComm fresh;
  std::vector<IKT5GroupEventArgs> seen;
  fresh.OnGroup = [&](TMirelKT5CommBase&, const IKT5GroupEventArgs& a) { seen.push_back(a); };
  fresh.Feed(PacketKind::OffHook);
  EXPECT_EQ(seen.back()->RingSeconds, 0);
  TScriptedComm onHookOnly;
  onHookOnly.OnGroup = fresh.OnGroup;
  onHookOnly.Feed(PacketKind::OnHook);
  EXPECT_EQ(seen.back()->TalkSeconds, 0);
  // A group that never had a number rang from its start.
  comm.Feed(PacketKind::KyokuseiHanten);
  Advance(4);
  comm.Feed(PacketKind::OffHook);
  EXPECT_EQ(groups.back()->RingSeconds, 4);
}

TEST_F(GroupTest, LostPortDuringTalkSuppliesTheOnHook) {
  comm.Feed(PacketKind::KyokuseiHanten);
  comm.Feed(PacketKind::PhoneNumber);
  comm.Feed(PacketKind::OffHook);
  Advance(12);
  comm.FinishGroup();
  EXPECT_EQ(Kinds(), (std::vector<int>{1, 2, 3, 4, 7}));
  EXPECT_EQ(groups[3]->OnHookDateTime, groups[3]->OnHookReceivedAt);
  EXPECT_EQ(groups[3]->TalkSeconds, 12);
  comm.FinishGroup();
  EXPECT_EQ(groups.size(), 5u);
}

TEST_F(GroupTest, GroupNumbersAreSharedByEverySessionOfTheProcess) {
  TScriptedComm other;
  std::vector<int32_t> numbers;
  other.OnGroup = [&](TMirelKT5CommBase&, const IKT5GroupEventArgs& a) {
    numbers.push_back(a->GroupNo);
  };
  comm.Feed(PacketKind::KyokuseiHanten);
  other.Feed(PacketKind::KyokuseiHanten);
  comm.Feed(PacketKind::KyokuseiHanten);
  EXPECT_EQ(numbers.front(), groups[0]->GroupNo + 1);
  EXPECT_EQ(groups[1]->GroupNo, numbers.front() + 1);
  const int32_t next = TakeGroupNo();
  EXPECT_EQ(next, groups[1]->GroupNo + 1);
}

TEST_F(GroupTest, FailingMirelHandlerIsTracedAndGroupGoesOn) {
  std::vector<IKT5TraceEventArgs> traces;
  std::vector<IKT5MirelEventArgs> mirels;
  comm.OnTrace = [&](TMirelKT5CommBase&, const IKT5TraceEventArgs& a) { traces.push_back(a); };
  comm.OnMirel = [&](TMirelKT5CommBase&, const IKT5MirelEventArgs& a) {
    mirels.push_back(a);
    throw std::runtime_error("boom");
  };
  comm.Feed(PacketKind::KyokuseiHanten);
  ASSERT_EQ(traces.size(), 1u);
  EXPECT_EQ(traces[0]->Level, 2);
  EXPECT_EQ(traces[0]->Message, "FOnMirelイベントハンドラ実行エラー");
  EXPECT_EQ(traces[0]->ExceptionMessage, "boom");
  EXPECT_EQ(Kinds(), std::vector<int>{1});
  EXPECT_EQ(mirels[0]->GroupNo, comm.CurrentGroupNo());
  EXPECT_EQ(mirels[0]->ReceivedAt, Now());
  EXPECT_EQ(mirels[0]->Packet->PacketKind, 1);
}

TEST(SecondsBetweenTest, AcrossMidnightAndMilliseconds) {
  const TDateTime later = EncodeDateTime({2024, 1, 2, 0, 0, 5, 0});
  const TDateTime earlier = EncodeDateTime({2024, 1, 1, 23, 59, 58, 0});
  EXPECT_EQ(SecondsBetween(false, later, earlier), 7);
  const TDateTime a = EncodeDateTime({2024, 1, 1, 10, 0, 1, 200});
  const TDateTime b = EncodeDateTime({2024, 1, 1, 10, 0, 0, 900});
  EXPECT_EQ(SecondsBetween(false, a, b), 1);
  EXPECT_EQ(SecondsBetween(true, a, b), 0);
  EXPECT_EQ(SecondsBetween(false, b, a), -1);
  EXPECT_EQ(SecondsBetween(false, a, a - 10), 864000);
  // Spans beyond 68 years do not fit and are held at the limit.
  EXPECT_EQ(SecondsBetween(false, a, 0), INT32_MAX);
  EXPECT_EQ(SecondsBetween(false, 0, a), INT32_MIN);
  // No date-time at all (a corrupt shared-memory record) counts no seconds.
  EXPECT_EQ(SecondsBetween(false, std::nan(""), a), 0);
  EXPECT_EQ(SecondsBetween(false, HUGE_VAL, HUGE_VAL), 0);
}

} // namespace
