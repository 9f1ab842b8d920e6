#include "MainProgramStandIn.h"
#include "ToolProcess.h"

#include "base/Clock.h"
#include "base/CodePage.h"
#include "common2/ReceivePacketRecord.h"
#include "common2/SecondsBetween.h"
#include "platform/WindowMessages.h"
#include "settings/SharedValue.h"
#include "support/RunProgram.h"
#include "support/TempFolder.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <tuple>

namespace {

using TArgs = std::vector<std::string>;

class NumberSimTest : public ::testing::Test {
protected:
  NumberSimTest() { setenv("XDG_RUNTIME_DIR", folder_.Path().c_str(), 1); }
  ~NumberSimTest() override { unsetenv("XDG_RUNTIME_DIR"); }

  TMainProgramStandIn& StartProgram() {
    program_ = std::make_unique<TMainProgramStandIn>();
    return *program_;
  }

  std::unique_ptr<TToolProcess> Start(const TArgs& args) {
    return std::make_unique<TToolProcess>(args, folder_.Path() + "/output.txt");
  }

  // Runs the tool to its end while the stand-in (if started) answers it;
  // returns its output, then its exit code on a last line.
  std::string Run(const TArgs& args) {
    const auto tool = Start(args);
    tool->CloseInput();
    const auto ended = [&tool] { return tool->Ended(); };
    EXPECT_TRUE(program_ ? program_->Dispatcher().PumpUntil(ended, std::chrono::seconds(10))
                         : WaitFor(ended));
    return tool->Output() + std::to_string(tool->ExitCode());
  }

  // Runs a call and returns the group the program read from its block.
  TKT5GroupEventArgs Call(TArgs args) {
    args.insert(args.begin(), "call");
    program_->Calls.clear();
    before_ = Now();
    EXPECT_EQ(Run(args), "100\n0");
    after_ = Now();
    return program_->Calls.empty() ? TKT5GroupEventArgs{} : program_->Calls.front();
  }

  // A local time taken by the tool while it ran.
  void ExpectNow(TDateTime local) const {
    EXPECT_GE(local, before_ - OneMillisecond);
    EXPECT_LE(local, after_ + OneMillisecond);
  }

  TTempFolder folder_;
  std::unique_ptr<TMainProgramStandIn> program_;
  TDateTime before_ = 0, after_ = 0;
};

// The adapter's clock has whole minutes: its time of a change lies within the
// minute before the PC's.
void ExpectAdapterTime(TDateTime adapter, TDateTime local) {
  EXPECT_EQ(DecodeDateTime(adapter).Second + DecodeDateTime(adapter).MilliSecond, 0);
  EXPECT_LE(adapter, local);
  EXPECT_GT(adapter, local - 60 * OneSecond);
}

TEST_F(NumberSimTest, CommandLinesAndAMissingProgram) {
  EXPECT_EQ(Run({"query"}), "no-window\n1");
  EXPECT_EQ(Run({"call", "2", "1", "0312345678"}), "no-window\n1");
  for (const TArgs& args : std::vector<TArgs>{{},
                                              {"query", "x"},
                                              {"call", "6", "1"},
                                              {"call", "2"},
                                              {"call", "3", "1", "--ring", "-1"},
                                              {"serve", "--memory"}})
    EXPECT_EQ(Run(args), "2") << args.size();
}

TEST_F(NumberSimTest, QueryAndCallPrintTheProgramsResult) {
  TMainProgramStandIn& program = StartProgram();
  for (const uint32_t result : {SimResultNotReady, SimResultOk, SimResultNotSimMode}) {
    program.QueryResult = result;
    EXPECT_EQ(Run({"query"}), std::to_string(result) + "\n0");
  }
  program.CallResult = SimResultReadFailed;
  EXPECT_EQ(Run({"call", "1", "1"}), "999\n0");
}

TEST_F(NumberSimTest, EachKindIsAFinishedGroupEndingNow) {
  StartProgram();
  const TKT5GroupEventArgs ring = Call({"1", "-7", "0312345678"});
  EXPECT_EQ(ring.PacketKind, 1);
  EXPECT_EQ(ring.GroupNo, -7);
  EXPECT_TRUE(ring.KyokuseiHantenReceived);
  EXPECT_FALSE(ring.NumberReceived);
  ExpectNow(ring.KyokuseiHantenAt);

  struct TCase {
    TArgs Args;
    bool Off, On, Unanswered;
    int Ring, Talk;
  };
  for (const TCase& c :
       std::vector<TCase>{{{"2", "4", "0312345678"}, false, false, false, 0, 0},
                          {{"3", "4", "0312345678", "--ring", "12"}, 1, 0, 0, 12, 0},
                          {{"4", "4", "0312345678", "--talk", "95"}, 1, 1, 0, 5, 95},
                          {{"7", "4", "0312345678", "--talk", "9"}, 1, 1, 0, 5, 9},
                          {{"5", "4", "0312345678", "--ring", "20"}, 0, 0, 1, 20, 0},
                          {{"7", "4", "0312345678"}, 0, 0, 1, 5, 0}}) {
    SCOPED_TRACE(c.Args[0] + (c.Args.size() > 3 ? c.Args[3] : ""));
    const TKT5GroupEventArgs g = Call(c.Args);
    EXPECT_EQ(g.PacketKind, std::stoi(c.Args[0]));
    EXPECT_EQ(g.GroupNo, 4);
    EXPECT_TRUE(g.KyokuseiHantenReceived && g.NumberReceived);
    EXPECT_EQ(g.KyokuseiHantenAt, g.NumberReceivedAt);
    EXPECT_EQ(g.PhoneNumber, "0312345678");
    EXPECT_EQ(g.NumberKind, 1);
    EXPECT_EQ(std::vector<bool>({g.OffHookReceived, g.OnHookReceived, g.UnansweredReceived}),
              std::vector<bool>({c.Off, c.On, c.Unanswered}));
    const TDateTime end = c.On           ? g.OnHookReceivedAt
                          : c.Off        ? g.OffHookReceivedAt
                          : c.Unanswered ? g.UnansweredReceivedAt
                                         : g.NumberReceivedAt;
    ExpectNow(end);
    ExpectAdapterTime(g.IncomingDateTime, g.NumberReceivedAt);
    for (const auto& [on, adapter, local] :
         {std::tuple{c.Off, g.OffHookDateTime, g.OffHookReceivedAt},
          std::tuple{c.On, g.OnHookDateTime, g.OnHookReceivedAt},
          std::tuple{c.Unanswered, g.UnansweredDateTime, g.UnansweredReceivedAt}})
      if (on)
        ExpectAdapterTime(adapter, local);
    EXPECT_EQ(SecondsBetween(false, end, g.NumberReceivedAt), c.Ring + c.Talk);
    EXPECT_EQ(g.RingSeconds, c.Off ? c.Ring : 0);
    EXPECT_EQ(g.TalkSeconds, c.Talk);
  }
}

TEST_F(NumberSimTest, NumbersAreCp932CutAtTwentyBytesAndClassified) {
  StartProgram();
  EXPECT_EQ(Call({"2", "1", "123456789012345678901234"}).PhoneNumber, "12345678901234567890");
  EXPECT_EQ(Call({"2", "1", "P"}).NumberKind, 2);
  EXPECT_EQ(Call({"2", "1", "-"}).NumberKind, 0);
  EXPECT_EQ(Call({"2", "1"}).PhoneNumber, "");
  // A double-byte character that does not fit whole is left out.
  const std::string kanji = "電話番号発信機能試験用";
  EXPECT_EQ(Call({"2", "1", kanji}).PhoneNumber, "電話番号発信機能試験");
  EXPECT_EQ(Call({"2", "1", "1" + kanji}).PhoneNumber, "1電話番号発信機能試");
}

TEST_F(NumberSimTest, ServeAnswersReadsAsTheDeviceWouldUntilInputCloses) {
  StartProgram();
  WriteFile(folder_.Path() + "/memory.txt", "# slot, came in, number, ended, letters\n\n"
                                            "3 123161610 0312345678 123161620 OF\n"
                                            "4 010100000 O 010100001 UR\n");
  const auto tool = Start({"serve", "--memory", folder_.Path() + "/memory.txt"});
  ASSERT_TRUE(tool->WaitOutput("ready\n"));
  const uint32_t window = ReadSharedValue("SIM_CLIENT_WINDOW_MMF");
  EXPECT_EQ(window, static_cast<uint32_t>(tool->Pid()));
  const auto read = [&](uint32_t index, uint32_t expected) {
    std::fill_n(program_->MemoryBlock()->Data(), TReceivePacketRecord::Size, uint8_t{0xFF});
    uint32_t result = 0;
    EXPECT_TRUE(SendMessageTimeout(window, CMSimReadMemory, index, 0, 5000, result));
    EXPECT_EQ(result, expected);
    TReceivePacketRecord record;
    std::copy_n(program_->MemoryBlock()->Data(), record.Bytes.size(), record.Bytes.begin());
    TKT5MirelKT5ReceivePacket packet;
    UnpackReceivePacket(record, packet);
    return packet;
  };

  const TKT5MirelKT5ReceivePacket stored = read(3, SimResultOk);
  EXPECT_EQ(stored.PacketKind, 6);
  EXPECT_EQ(stored.PhoneNumber, "0312345678");
  EXPECT_EQ(stored.NumberKind, 1);
  EXPECT_TRUE(stored.Answered && !stored.Unanswered && !stored.NoDateTime);
  const TDateParts in = DecodeDateTime(stored.IncomingDateTime);
  EXPECT_EQ(
      std::vector<int>({in.Month, in.Day, in.Hour, in.Minute, DayOfWeek(stored.IncomingDateTime)}),
      std::vector<int>({12, 31, 16, 10, 7}));
  EXPECT_EQ(SecondsBetween(false, stored.EventDateTime, stored.IncomingDateTime), 600);
  EXPECT_TRUE(read(4, SimResultOk).Unanswered);
  EXPECT_EQ(read(4, SimResultOk).NumberKind, 3);

  const TKT5MirelKT5ReceivePacket empty = read(30, SimResultOk);
  EXPECT_EQ(empty.PacketKind, 6);
  EXPECT_TRUE(empty.NoDateTime);
  EXPECT_EQ(empty.NumberKind, 0);
  EXPECT_EQ(empty.PhoneNumber, "");
  EXPECT_EQ(empty.IncomingDateTime, 0);
  EXPECT_FALSE(empty.Answered || empty.Unanswered);
  EXPECT_TRUE(tool->WaitOutput("ready\nread 3\nread 4\nread 4\nread 30\n"));

  program_->RemoveMemoryBlock();
  uint32_t result = SimResultOk;
  EXPECT_TRUE(SendMessageTimeout(window, CMSimReadMemory, 1, 0, 5000, result));
  EXPECT_NE(result, SimResultOk);
  EXPECT_TRUE(tool->WaitOutput("read 30\nread-failed 1\n"));

  tool->CloseInput();
  ASSERT_TRUE(WaitFor([&tool] { return tool->Ended(); }));
  EXPECT_EQ(tool->ExitCode(), 0);
  EXPECT_EQ(ReadSharedValue("SIM_CLIENT_WINDOW_MMF"), 0u);
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(NumberSimTest, ServeEndsCleanlyOnSigterm) {
  const auto tool = Start({"serve"});
  ASSERT_TRUE(tool->WaitOutput("ready\n"));
  kill(tool->Pid(), SIGTERM);
  ASSERT_TRUE(WaitFor([&tool] { return tool->Ended(); }));
  EXPECT_EQ(tool->ExitCode(), 0);
  EXPECT_EQ(ReadSharedValue("SIM_CLIENT_WINDOW_MMF"), 0u);
}

TEST_F(NumberSimTest, ABadMemoryFileIsRefusedBeforeReady) {
  for (const char* text : {"31 123161610 0312345678 123161620 ON\n", "1 12316161 03 123161620 OF\n",
                           "1 123161610 123456789012345678901 123161620 OF\n", "1 2 3\n",
                           "1 123161610 電話 123161620 OF\n", "256 123161610 - 123161620 OF\n"}) {
    WriteFile(folder_.Path() + "/bad.txt", text);
    EXPECT_EQ(Run({"serve", "--memory", folder_.Path() + "/bad.txt"}), "1") << text;
  }
  EXPECT_EQ(Run({"serve", "--memory", folder_.Path() + "/none.txt"}), "1");
}

} // namespace
