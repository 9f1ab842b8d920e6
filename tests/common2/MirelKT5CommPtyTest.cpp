#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <thread>
#include <unistd.h>

#include "base/Clock.h"
#include "base/PostTarget.h"
#include "common2/MirelKT5Comm.h"
#include "common2/MirelKT5CommException.h"
#include "fakes/AdapterSimProcess.h"

namespace {

using Ms = std::chrono::milliseconds;

// The device session on the real termios device, with the virtual adapter on
// the other end of a pseudo-terminal, reached through a link as a user would
// configure it.
class PtySessionTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (access(TAdapterSimProcess::Binary().c_str(), X_OK) != 0)
      GTEST_SKIP() << "no adapter simulator at " << TAdapterSimProcess::Binary();
    link = "/tmp/teloria-pty-" + std::to_string(getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
    sim = std::make_unique<TAdapterSimProcess>(std::vector<std::string>{"--link", link});
    ASSERT_EQ(sim->WaitFor("ready ").rfind("ready /dev/pts/", 0), 0u);
    comm = std::make_unique<TMirelKT5Comm>(post);
    comm->PortName = link;
    comm->OnGroup = [this](TMirelKT5CommBase&, const IKT5GroupEventArgs& a) {
      log.push_back("group" + std::to_string(a->PacketKind));
      groups.push_back(a);
    };
    comm->OnClosed = [this](TMirelKT5CommBase&, const IKT5ClosedEventArgs& a) {
      log.push_back(a->Forced ? "closed-forced" : "closed");
    };
  }
  void TearDown() override {
    comm.reset();
    sim.reset();
    std::error_code ignored;
    std::filesystem::remove(link, ignored);
  }

  bool PumpUntilLog(size_t n) {
    return post->PumpUntil([&] { return log.size() >= n; }, Ms(5000));
  }

  std::shared_ptr<TQueuedPostTarget> post = std::make_shared<TQueuedPostTarget>();
  std::string link;
  std::unique_ptr<TAdapterSimProcess> sim;
  std::unique_ptr<TMirelKT5Comm> comm;
  std::vector<std::string> log;
  std::vector<IKT5GroupEventArgs> groups;
};

TEST_F(PtySessionTest, AnsweredCallArrivesAsGroups) {
  comm->Open();
  ASSERT_TRUE(sim->Run("ring"));
  ASSERT_TRUE(sim->Run("number 0312345678 030520708"));
  ASSERT_TRUE(sim->Run("offhook"));
  ASSERT_TRUE(sim->Run("onhook"));
  ASSERT_TRUE(PumpUntilLog(5));
  EXPECT_EQ(log, (std::vector<std::string>{"group1", "group2", "group3", "group4", "group7"}));
  EXPECT_EQ(groups[1]->PhoneNumber, "0312345678");
  EXPECT_EQ(groups[1]->NumberKind, 1);
}

TEST_F(PtySessionTest, NoiseAndStrayBytesDoNotLoseTheNextCall) {
  comm->Open();
  ASSERT_TRUE(sim->Run("raw 41 03 41 02"));
  ASSERT_TRUE(sim->Run("ring"));
  ASSERT_TRUE(sim->Run("ring"));
  ASSERT_TRUE(sim->Run("number P"));
  ASSERT_TRUE(PumpUntilLog(2));
  EXPECT_EQ(log, (std::vector<std::string>{"group1", "group2"}));
  EXPECT_EQ(groups[1]->NumberKind, 2);
}

TEST_F(PtySessionTest, MemoryReadAndClockSetReachTheAdapter) {
  ASSERT_TRUE(sim->Run("memory 3 030520708 0312345678 030520710 OF"));
  comm->Open();
  IKT5MirelKT5ReceivePacket packet;
  comm->ReadMemory(3, packet);
  EXPECT_EQ(sim->WaitFor("recv "), "recv MT 03");
  ASSERT_TRUE(packet);
  EXPECT_EQ(packet->PhoneNumber, "0312345678");
  EXPECT_TRUE(packet->Answered);
  comm->ReadMemory(4, packet);
  EXPECT_TRUE(packet->NoDateTime);
  comm->SetDateTime(EncodeDateTime({2024, 3, 5, 7, 8, 59, 0}));
  EXPECT_EQ(sim->WaitFor("recv C"), "recv C 202403050708");
}

// A call that rings while the memory is read (the adapter's reply is slow)
// reaches the session as if no read ran, and the read still succeeds with
// the call the adapter kept from before.
TEST_F(PtySessionTest, CallDuringAMemoryReadIsNotLost) {
  sim.reset();
  sim = std::make_unique<TAdapterSimProcess>(
      std::vector<std::string>{"--link", link, "--reply-delay", "400"});
  ASSERT_EQ(sim->WaitFor("ready ").rfind("ready /dev/pts/", 0), 0u);
  ASSERT_TRUE(sim->Run("number 0311112222 030520708"));
  ASSERT_TRUE(sim->Run("unanswered 030520709"));
  comm->Open();
  IKT5MirelKT5ReceivePacket packet;
  std::thread reader([&] { EXPECT_NO_THROW(comm->ReadMemory(1, packet)); });
  EXPECT_EQ(sim->WaitFor("recv "), "recv MT 01");
  ASSERT_TRUE(sim->Run("ring"));
  ASSERT_TRUE(sim->Run("number 0312345678"));
  reader.join();
  ASSERT_TRUE(packet);
  EXPECT_EQ(packet->PhoneNumber, "0311112222");
  EXPECT_TRUE(packet->Unanswered);
  ASSERT_TRUE(PumpUntilLog(2));
  EXPECT_EQ(log, (std::vector<std::string>{"group1", "group2"}));
  EXPECT_EQ(groups[1]->PhoneNumber, "0312345678");
}

TEST_F(PtySessionTest, PlainMemoryReadProbesThePort) {
  TMirelKT5CommCompo compo(nullptr);
  compo.SetAsyncHandling(true);
  compo.SetPortName(link);
  compo.Open();
  TPhoneNumberPacket reply{};
  EXPECT_NO_THROW(compo.ReadMemory(1, reply));
  EXPECT_EQ(sim->WaitFor("recv "), "recv M 01");
  EXPECT_EQ(reply[0], 0x02);
  EXPECT_EQ(reply[30], 0x03);
  compo.Close();
}

TEST_F(PtySessionTest, UnplugDuringACallEndsItAndClosesForced) {
  comm->Open();
  ASSERT_TRUE(sim->Run("ring"));
  ASSERT_TRUE(sim->Run("number 0312345678"));
  ASSERT_TRUE(sim->Run("offhook"));
  ASSERT_TRUE(PumpUntilLog(3));
  ASSERT_TRUE(sim->Run("unplug"));
  ASSERT_TRUE(PumpUntilLog(6));
  EXPECT_EQ(log, (std::vector<std::string>{"group1", "group2", "group3", "group4", "group7",
                                           "closed-forced"}));
  EXPECT_FALSE(comm->IsOpen());
  EXPECT_FALSE(comm->Compo().CheckModemStatus());
}

TEST_F(PtySessionTest, CloseWhileWaitingThenReopen) {
  comm->Open();
  EXPECT_TRUE(comm->Compo().CheckModemStatus());
  comm->Close(false);
  EXPECT_EQ(log, std::vector<std::string>{"closed"});
  // The exclusive open was given back with the port.
  comm->Open();
  ASSERT_TRUE(sim->Run("ring"));
  ASSERT_TRUE(PumpUntilLog(2));
}

TEST_F(PtySessionTest, SecondOpenOfTheSamePortIsRefused) {
  comm->Open();
  TMirelKT5Comm other(post);
  other.PortName = link;
  EXPECT_THROW(other.Open(), EMirelKT5CommException);
}

} // namespace
