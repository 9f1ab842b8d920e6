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
#include <chrono>
#include <gtest/gtest.h>
#include <memory>

namespace {

using std::chrono::seconds;

struct TRun {
  int ExitCode = -1;
  std::string Output; // every line, each ended by "\n"
};

class NumberSimTest : public ::testing::Test {
protected:
  NumberSimTest() { setenv("XDG_RUNTIME_DIR", runtime_.Path().c_str(), 1); }
  ~NumberSimTest() override { unsetenv("XDG_RUNTIME_DIR"); }

  TMainProgramStandIn& StartProgram() {
    program_ = std::make_unique<TMainProgramStandIn>();
    return *program_;
  }

  // Runs the tool to its end while the stand-in (if started) answers it.
  TRun Run(const std::vector<std::string>& args) {
    TToolProcess tool(args);
    tool.CloseInput();
    const auto ended = [&tool] { return tool.Ended(); };
    EXPECT_TRUE(program_ ? program_->Dispatcher().PumpUntil(ended, seconds(10)) : WaitFor(ended));
    TRun run{tool.ExitCode(), ""};
    for (std::string line; (line = tool.NextLine(1000)) != "<eof>" && line != "<timeout>";)
      run.Output += line + "\n";
    return run;
  }

  // Runs a call and returns the group the program read from its block.
  TKT5GroupEventArgs Call(const std::vector<std::string>& args) {
    std::vector<std::string> all{"call"};
    all.insert(all.end(), args.begin(), args.end());
    program_->Calls.clear();
    before_ = Now();
    const TRun run = Run(all);
    after_ = Now();
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_EQ(run.Output, "100\n");
    return program_->Calls.empty() ? TKT5GroupEventArgs{} : program_->Calls.front();
  }

  // A local time the tool took while it ran (its "now").
  void ExpectNow(TDateTime value) const {
    EXPECT_GE(value, before_ - OneMillisecond);
    EXPECT_LE(value, after_ + OneMillisecond);
  }

  TTempFolder runtime_;
  std::unique_ptr<TMainProgramStandIn> program_;
  TDateTime before_ = 0, after_ = 0;
};

// The adapter's clock has whole minutes: its date-times lie within the
// minute before the PC's time of the same change.
void ExpectAdapterTime(TDateTime adapter, TDateTime local) {
  EXPECT_EQ(DecodeDateTime(adapter).Second, 0);
  EXPECT_EQ(DecodeDateTime(adapter).MilliSecond, 0);
  EXPECT_LE(adapter, local);
  EXPECT_GT(adapter, local - 60 * OneSecond);
}

TEST_F(NumberSimTest, WithoutAProgramNothingIsSent) {
  EXPECT_EQ(Run({"query"}).Output, "no-window\n");
  EXPECT_EQ(Run({"query"}).ExitCode, 1);
  const TRun call = Run({"call", "2", "1", "0312345678"});
  EXPECT_EQ(call.Output, "no-window\n");
  EXPECT_EQ(call.ExitCode, 1);
}

TEST_F(NumberSimTest, BadArgumentsShowTheUsage) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{},
                                             {"dial"},
                                             {"query", "x"},
                                             {"call", "6", "1"},
                                             {"call", "2"},
                                             {"call", "3", "1", "--ring", "-1"},
                                             {"serve", "--memory"}})
    EXPECT_EQ(Run(args).ExitCode, 2) << args.size();
}

TEST_F(NumberSimTest, QueryAndCallPrintTheProgramsResult) {
  TMainProgramStandIn& program = StartProgram();
  for (const uint32_t result : {SimResultNotReady, SimResultOk, SimResultNotSimMode}) {
    program.QueryResult = result;
    const TRun run = Run({"query"});
    EXPECT_EQ(run.Output, std::to_string(result) + "\n");
    EXPECT_EQ(run.ExitCode, 0);
  }
  program.CallResult = SimResultReadFailed;
  EXPECT_EQ(Run({"call", "1", "1"}).Output, "999\n");
}

TEST_F(NumberSimTest, RingAndNumberAreNow) {
  StartProgram();
  const TKT5GroupEventArgs ring = Call({"1", "7"});
  EXPECT_EQ(ring.PacketKind, 1);
  EXPECT_EQ(ring.GroupNo, 7);
  EXPECT_TRUE(ring.KyokuseiHantenReceived);
  ExpectNow(ring.KyokuseiHantenAt);
  EXPECT_FALSE(ring.NumberReceived);
  EXPECT_EQ(ring.PhoneNumber, "");

  const TKT5GroupEventArgs number = Call({"2", "-3", "0312345678"});
  EXPECT_EQ(number.PacketKind, 2);
  EXPECT_EQ(number.GroupNo, -3);
  EXPECT_TRUE(number.KyokuseiHantenReceived);
  EXPECT_TRUE(number.NumberReceived);
  ExpectNow(number.NumberReceivedAt);
  ExpectAdapterTime(number.IncomingDateTime, number.NumberReceivedAt);
  EXPECT_EQ(number.PhoneNumber, "0312345678");
  EXPECT_EQ(number.NumberKind, 1);
  EXPECT_FALSE(number.OffHookReceived || number.OnHookReceived || number.UnansweredReceived);
}

TEST_F(NumberSimTest, AnsweredCallsCarryTheirRingAndTalkSeconds) {
  StartProgram();
  const TKT5GroupEventArgs off = Call({"3", "4", "0312345678", "--ring", "12"});
  EXPECT_EQ(off.PacketKind, 3);
  EXPECT_TRUE(off.NumberReceived && off.OffHookReceived);
  EXPECT_FALSE(off.OnHookReceived || off.UnansweredReceived);
  ExpectNow(off.OffHookReceivedAt);
  ExpectAdapterTime(off.OffHookDateTime, off.OffHookReceivedAt);
  EXPECT_EQ(off.RingSeconds, 12);
  EXPECT_EQ(SecondsBetween(false, off.OffHookReceivedAt, off.NumberReceivedAt), 12);

  for (const char* kind : {"4", "7"}) {
    const TKT5GroupEventArgs on = Call({kind, "4", "0312345678", "--talk", "95", "--ring", "3"});
    EXPECT_EQ(on.PacketKind, std::stoi(kind));
    EXPECT_TRUE(on.KyokuseiHantenReceived && on.NumberReceived && on.OffHookReceived &&
                on.OnHookReceived);
    EXPECT_FALSE(on.UnansweredReceived);
    ExpectNow(on.OnHookReceivedAt);
    ExpectAdapterTime(on.OnHookDateTime, on.OnHookReceivedAt);
    EXPECT_EQ(on.RingSeconds, 3);
    EXPECT_EQ(on.TalkSeconds, 95);
    EXPECT_EQ(SecondsBetween(false, on.OnHookReceivedAt, on.OffHookReceivedAt), 95);
    EXPECT_EQ(SecondsBetween(false, on.OffHookReceivedAt, on.NumberReceivedAt), 3);
    EXPECT_EQ(on.KyokuseiHantenAt, on.NumberReceivedAt);
  }
}

TEST_F(NumberSimTest, UnansweredCallsEndNowAfterTheirRing) {
  StartProgram();
  for (const char* kind : {"5", "7"}) {
    const TKT5GroupEventArgs end = Call({kind, "9", "P", "--ring", "20"});
    EXPECT_EQ(end.PacketKind, std::stoi(kind));
    EXPECT_TRUE(end.NumberReceived && end.UnansweredReceived);
    EXPECT_FALSE(end.OffHookReceived || end.OnHookReceived);
    ExpectNow(end.UnansweredReceivedAt);
    ExpectAdapterTime(end.UnansweredDateTime, end.UnansweredReceivedAt);
    EXPECT_EQ(SecondsBetween(false, end.UnansweredReceivedAt, end.NumberReceivedAt), 20);
    EXPECT_EQ(end.PhoneNumber, "P");
    EXPECT_EQ(end.NumberKind, 2); // withheld, classified as the adapter's letter
  }
}

TEST_F(NumberSimTest, NumbersAreCp932CutAtTwentyBytes) {
  StartProgram();
  EXPECT_EQ(Call({"2", "1", "123456789012345678901234"}).PhoneNumber, "12345678901234567890");
  EXPECT_EQ(Call({"2", "1", "-"}).NumberKind, 0);
  EXPECT_EQ(Call({"2", "1"}).PhoneNumber, "");
  // A double-byte character that does not fit whole is left out.
  const std::string kanji = "電話番号発信機能試験用";
  EXPECT_EQ(Call({"2", "1", kanji}).PhoneNumber, Utf8ToCp932("電話番号発信機能試験"));
  EXPECT_EQ(Call({"2", "1", "1" + kanji}).PhoneNumber, Utf8ToCp932("1電話番号発信機能試"));
}

// `serve` runs until its input closes; reads are sent as the program sends them.
class NumberSimServeTest : public NumberSimTest {
protected:
  void Serve(const std::string& memoryText) {
    WriteFile(runtime_.Path() + "/memory.txt", memoryText);
    tool_ = std::make_unique<TToolProcess>(
        std::vector<std::string>{"serve", "--memory", runtime_.Path() + "/memory.txt"});
    ASSERT_EQ(tool_->NextLine(), "ready");
    window_ = ReadSharedValue("SIM_CLIENT_WINDOW_MMF");
    ASSERT_EQ(window_, static_cast<uint32_t>(tool_->Pid()));
  }

  // The result of the read (0 when none came) and the packet left in the block.
  uint32_t Read(uint32_t index, TKT5MirelKT5ReceivePacket& packet) {
    uint32_t result = 0;
    EXPECT_TRUE(SendMessageTimeout(window_, CMSimReadMemory, index, 0, 5000, result));
    if (TSharedMemory* block = program_->MemoryBlock()) {
      TReceivePacketRecord record;
      std::copy_n(block->Data(), record.Bytes.size(), record.Bytes.begin());
      UnpackReceivePacket(record, packet);
    }
    return result;
  }

  std::unique_ptr<TToolProcess> tool_;
  uint32_t window_ = 0;
};

TEST_F(NumberSimServeTest, AStoredRecordReadsAsTheDeviceLibraryDecodesIt) {
  StartProgram();
  Serve("# slot, came in, number, ended, letters\n"
        "\n"
        "3 123161610 0312345678 123161620 OF\n"
        "4 010100000 O 010100001 UR\n");
  TKT5MirelKT5ReceivePacket packet;
  EXPECT_EQ(Read(3, packet), SimResultOk);
  EXPECT_EQ(tool_->NextLine(), "read 3");
  EXPECT_EQ(packet.PacketKind, 6);
  EXPECT_EQ(packet.PhoneNumber, "0312345678");
  EXPECT_EQ(packet.NumberKind, 1);
  EXPECT_TRUE(packet.Answered);
  EXPECT_FALSE(packet.Unanswered || packet.NoDateTime);
  const TDateParts in = DecodeDateTime(packet.IncomingDateTime);
  EXPECT_EQ(std::vector<int>({in.Month, in.Day, in.Hour, in.Minute}),
            std::vector<int>({12, 31, 16, 10}));
  EXPECT_EQ(DayOfWeek(packet.IncomingDateTime), 7); // Saturday
  EXPECT_EQ(SecondsBetween(false, packet.EventDateTime, packet.IncomingDateTime), 600);

  EXPECT_EQ(Read(4, packet), SimResultOk);
  EXPECT_EQ(tool_->NextLine(), "read 4");
  EXPECT_EQ(packet.NumberKind, 3);
  EXPECT_TRUE(packet.Unanswered);
  EXPECT_FALSE(packet.Answered);
}

TEST_F(NumberSimServeTest, OtherIndexesReadAsEmptySlots) {
  StartProgram();
  Serve("3 123161610 0312345678 123161620 OF\n");
  std::fill_n(program_->MemoryBlock()->Data(), TReceivePacketRecord::Size, uint8_t{0xFF});
  TKT5MirelKT5ReceivePacket packet;
  EXPECT_EQ(Read(30, packet), SimResultOk);
  EXPECT_EQ(tool_->NextLine(), "read 30");
  EXPECT_EQ(packet.PacketKind, 6);
  EXPECT_TRUE(packet.NoDateTime);
  EXPECT_EQ(packet.NumberKind, 0);
  EXPECT_EQ(packet.PhoneNumber, "");
  EXPECT_EQ(packet.IncomingDateTime, 0);
  EXPECT_FALSE(packet.Answered || packet.Unanswered);
}

TEST_F(NumberSimServeTest, AMissingBlockFailsTheRead) {
  StartProgram().RemoveMemoryBlock();
  Serve("");
  TKT5MirelKT5ReceivePacket packet;
  EXPECT_NE(Read(1, packet), SimResultOk);
  EXPECT_EQ(tool_->NextLine(), "read-failed 1");
}

TEST_F(NumberSimServeTest, ClosedInputEndsServingAndUnpublishes) {
  Serve("");
  tool_->CloseInput();
  ASSERT_TRUE(WaitFor([this] { return tool_->Ended(); }));
  EXPECT_EQ(tool_->ExitCode(), 0);
  EXPECT_EQ(ReadSharedValue("SIM_CLIENT_WINDOW_MMF"), 0u);
  EXPECT_FALSE(IsWindow(window_));
}

TEST_F(NumberSimServeTest, ABadMemoryFileIsRefused) {
  for (const char* text :
       {"31 123161610 0312345678 123161620 ON\n", "1 12316161 0312 123161620 OF\n",
        "1 123161610 123456789012345678901 123161620 OF\n", "1 2 3\n",
        "1 123161610 電話 123161620 OF\n", "256 123161610 - 123161620 OF\n"}) {
    WriteFile(runtime_.Path() + "/bad.txt", text);
    const TRun run = Run({"serve", "--memory", runtime_.Path() + "/bad.txt"});
    EXPECT_EQ(run.ExitCode, 1) << text;
    EXPECT_EQ(run.Output, "") << text;
  }
  EXPECT_EQ(Run({"serve", "--memory", runtime_.Path() + "/none.txt"}).ExitCode, 1);
}

} // namespace
