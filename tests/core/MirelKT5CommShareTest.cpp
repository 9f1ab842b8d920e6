#include "core/MirelKT5CommShare.h"

#include "share/CallMessage.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

TCallMessage Message(const std::string& station, int32_t group, int kind,
                     const std::string& number = "", int ring = 0, int talk = 0) {
  TCallMessage m;
  m.Station = station;
  m.GroupNo = group;
  m.Kind = kind;
  m.PhoneNumber = number;
  m.RingSeconds = ring;
  m.TalkSeconds = talk;
  return m;
}

} // namespace

class MirelKT5CommShareTest : public ::testing::Test {
protected:
  void SetUp() override {
    session.OnGroup = [this](TMirelKT5CommBase&, const IKT5GroupEventArgs& a) {
      events.push_back(a);
    };
  }
  TMirelKT5CommShare session;
  std::vector<IKT5GroupEventArgs> events;
};

TEST_F(MirelKT5CommShareTest, EachSendersCallGetsAGroupOfItsOwnWithTheSendersDurations) {
  session.InjectMessage(Message("desk1", 5, 1));
  session.InjectMessage(Message("desk2", 5, 1));
  session.InjectMessage(Message("desk1", 5, 2, "0312345678"));
  session.InjectMessage(Message("desk1", 5, 3, "0312345678", 6));
  session.InjectMessage(Message("desk1", 5, 4, "0312345678", 6, 40));
  session.InjectMessage(Message("desk1", 5, 7, "0312345678", 6, 40));
  ASSERT_EQ(events.size(), 6u);
  EXPECT_NE(events[0]->GroupNo, events[1]->GroupNo);
  for (size_t i : {2, 3, 4, 5})
    EXPECT_EQ(events[i]->GroupNo, events[0]->GroupNo) << i;
  EXPECT_TRUE(events[0]->KyokuseiHantenReceived);
  EXPECT_FALSE(events[0]->NumberReceived);
  EXPECT_TRUE(events[2]->NumberReceived);
  EXPECT_EQ(events[2]->PhoneNumber, "0312345678");
  EXPECT_TRUE(events[3]->OffHookReceived);
  EXPECT_EQ(events[3]->RingSeconds, 6);
  EXPECT_TRUE(events[4]->OnHookReceived);
  EXPECT_EQ(events[4]->TalkSeconds, 40);
  EXPECT_EQ(events[5]->PacketKind, 7);
  EXPECT_TRUE(session.Tracks("desk2", "", 5));
  EXPECT_FALSE(session.Tracks("desk1", "", 5));
  // The number message, for its event's handling, once.
  EXPECT_EQ(session.TakeNumberMessage(events[2]->GroupNo)->PhoneNumber, "0312345678");
  EXPECT_FALSE(session.TakeNumberMessage(events[2]->GroupNo));
  // Ended: the same sender's group number again is a new call here.
  session.InjectMessage(Message("desk1", 5, 1));
  EXPECT_NE(events.back()->GroupNo, events[0]->GroupNo);
}

TEST_F(MirelKT5CommShareTest, AStationsNextRunOrItsGoingOfflineEndsItsCallsHere) {
  TCallMessage ring = Message("desk1", 0, 1);
  ring.Run = "0000000000000001";
  session.InjectMessage(ring);
  session.InjectMessage(Message("desk2", 0, 1));
  // The station died mid-call; its next run numbers its groups from 0 again.
  ring.Run = "0000000000000002";
  session.InjectMessage(ring);
  ASSERT_EQ(events.size(), 3u);
  EXPECT_NE(events[2]->GroupNo, events[0]->GroupNo);
  EXPECT_FALSE(session.Tracks("desk1", "0000000000000001", 0));
  EXPECT_TRUE(session.Tracks("desk1", "0000000000000002", 0));
  session.ForgetStation("desk1");
  EXPECT_FALSE(session.Tracks("desk1", "0000000000000002", 0));
  EXPECT_TRUE(session.Tracks("desk2", "", 0));
}
