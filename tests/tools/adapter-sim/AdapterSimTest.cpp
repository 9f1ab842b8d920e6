#include "fakes/AdapterSimProcess.h"
#include "fakes/PtyLineEnd.h"

#include "base/Clock.h"

#include <cstdlib>
#include <filesystem>
#include <fmt/printf.h>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

namespace fs = std::filesystem;
using ::testing::AnyOf;
using ::testing::StartsWith;

namespace {

const std::string Stx = "\x02";
const std::string Etx = "\x03";
const std::string Spaces20(20, ' ');
const std::string EmptyMT = Stx + "999999999" + Spaces20 + "999999999" + "  " + Etx;

std::string FieldOf(TDateTime value) {
  const TDateParts p = DecodeDateTime(value);
  return fmt::sprintf("%02d%02d%d%02d%02d", p.Month, p.Day, DayOfWeek(value) - 1, p.Hour, p.Minute);
}

class AdapterSimTest : public ::testing::Test {
protected:
  void SetUp() override { Start({}); }
  void TearDown() override { fs::remove_all(folder_); }

  void Start(std::vector<std::string> extra) {
    extra.insert(extra.begin(), {"--link", link_});
    sim_ = std::make_unique<TAdapterSimProcess>(extra);
    const std::string ready = sim_->NextLine();
    ASSERT_THAT(ready, StartsWith("ready /dev/pts/"));
    device_ = ready.substr(6);
    line_ = std::make_unique<TLineEnd>(link_);
    ASSERT_TRUE(line_->IsOpen());
  }

  // Runs a command that writes to the line and returns the bytes written.
  std::string Wire(const std::string& command, size_t count) {
    EXPECT_EQ(sim_->Ask(command), "ok " + command);
    return line_->Read(count);
  }

  std::string folder_ = [] {
    std::string pattern = fs::temp_directory_path() / "adapter-sim-XXXXXX";
    return std::string(mkdtemp(pattern.data()));
  }();
  std::string link_ = folder_ + "/ttyKT5";
  std::string device_;
  std::unique_ptr<TAdapterSimProcess> sim_;
  std::unique_ptr<TLineEnd> line_;
};

TEST_F(AdapterSimTest, ReadyLineNamesTheDeviceAndTheLinkPointsAtIt) {
  EXPECT_EQ(fs::read_symlink(link_).string(), device_);
  EXPECT_TRUE(fs::exists(device_));
}

TEST_F(AdapterSimTest, UnsolicitedPacketsGoOnTheLineByteForByte) {
  const std::string ring = Wire("ring", 4);
  ASSERT_EQ(ring.size(), 4u);
  EXPECT_EQ(ring.front(), '\x02');
  EXPECT_EQ(ring.back(), '\x03');
  EXPECT_EQ(ring.find('\x03'), 3u);
  EXPECT_EQ(Wire("number 0312345678 123161610", 31),
            Stx + "123161610" + "0312345678          " + Etx);
  EXPECT_EQ(Wire("number - 010100000", 31), Stx + "010100000" + Spaces20 + Etx);
  EXPECT_EQ(Wire("number 12345678901234567890 010100000", 31),
            Stx + "010100000" + "12345678901234567890" + Etx);
  EXPECT_EQ(Wire("offhook 030521010", 13), Stx + "030521010OF" + Etx);
  EXPECT_EQ(Wire("onhook 030521011", 13), Stx + "030521011ON" + Etx);
  EXPECT_EQ(Wire("unanswered 030521012", 13), Stx + "030521012UR" + Etx);
  EXPECT_EQ(Wire("hook of 030521013", 13), Stx + "030521013of" + Etx);
  EXPECT_EQ(Wire("raw 41 02 0a0B", 4), std::string("\x41\x02\x0a\x0b", 4));
}

TEST_F(AdapterSimTest, PacketsWithoutFieldCarryTheAdapterClock) {
  const std::string before = FieldOf(Now());
  const std::string number = Wire("number P", 31);
  const std::string after = FieldOf(Now());
  EXPECT_THAT(number, AnyOf(Stx + before + "P" + std::string(19, ' ') + Etx,
                            Stx + after + "P" + std::string(19, ' ') + Etx));
  EXPECT_THAT(Wire("offhook", 13).substr(1, 9), AnyOf(before, after, FieldOf(Now())));

  // Setting the clock moves the adapter's time; 2024-03-05 was a Tuesday.
  line_->Write(Stx + "C202403050708" + Etx);
  EXPECT_EQ(sim_->NextLine(), "recv C 202403050708");
  EXPECT_EQ(Wire("onhook", 13), Stx + "030520708ON" + Etx);
}

TEST_F(AdapterSimTest, MemoryReadsAnswerWithTheStoredRecord) {
  ASSERT_EQ(sim_->Ask("memory 1 030521010 0901234567 030521012 OF"),
            "ok memory 1 030521010 0901234567 030521012 OF");
  ASSERT_EQ(sim_->Ask("memory 30 123161610 P 123161611 UR"),
            "ok memory 30 123161610 P 123161611 UR");

  line_->Write(Stx + "M01" + Etx);
  EXPECT_EQ(sim_->NextLine(), "recv M 01");
  EXPECT_EQ(line_->Read(31), Stx + "030521010" + "0901234567          " + Etx);

  line_->Write(Stx + "MT30" + Etx);
  EXPECT_EQ(sim_->NextLine(), "recv MT 30");
  EXPECT_EQ(line_->Read(42),
            Stx + "123161610" + "P" + std::string(19, ' ') + "123161611" + "UR" + Etx);

  // Empty and unknown slots both read as empty records.
  ASSERT_EQ(sim_->Ask("memory-empty 1"), "ok memory-empty 1");
  line_->Write(Stx + "MT01" + Etx + Stx + "MT99" + Etx + Stx + "M05" + Etx);
  EXPECT_EQ(sim_->NextLine(), "recv MT 01");
  EXPECT_EQ(sim_->NextLine(), "recv MT 99");
  EXPECT_EQ(sim_->NextLine(), "recv M 05");
  EXPECT_EQ(line_->Read(42), EmptyMT);
  EXPECT_EQ(line_->Read(42), EmptyMT);
  const std::string empty = line_->Read(31);
  ASSERT_EQ(empty.size(), 31u);
  EXPECT_EQ(empty[1], '9');
}

// The adapter keeps the calls it plays: newest first, once answered or
// ended unanswered, 30 at most.
TEST_F(AdapterSimTest, PlayedCallsAreKeptInTheMemoryNewestFirst) {
  const auto memoryRecord = [this](const std::string& index) {
    line_->Write(Stx + "MT" + index + Etx);
    EXPECT_EQ(sim_->NextLine(), "recv MT " + index);
    return line_->Read(42);
  };
  for (int call = 0; call < 31; ++call) {
    Wire(fmt::sprintf("number 0%d 030521010", 100 + call), 31);
    Wire("offhook 030521011", 13);
    Wire("onhook 030521015", 13);
  }
  Wire("ring", 4);
  Wire("number P 030521020", 31);
  Wire("unanswered 030521021", 13);
  Wire("ring", 4);
  Wire("number 0999 030521030", 31); // still ringing: not kept yet
  EXPECT_EQ(memoryRecord("01"),
            Stx + "030521020" + "P" + std::string(19, ' ') + "030521021UR" + Etx);
  EXPECT_EQ(memoryRecord("02"),
            Stx + "030521010" + "0130" + std::string(16, ' ') + "030521011OF" + Etx);
  // The first two calls played have left the 30 slots.
  EXPECT_EQ(memoryRecord("30"),
            Stx + "030521010" + "0102" + std::string(16, ' ') + "030521011OF" + Etx);
}

TEST_F(AdapterSimTest, UnknownBytesFromTheHostAreShownInHex) {
  line_->Write(Stx + "X1" + Etx);
  EXPECT_EQ(sim_->NextLine(), "recv ? 02 58 31 03");
  line_->Write(Stx + "M1" + Etx + Stx + "MTA1" + Etx);
  EXPECT_EQ(sim_->NextLine(), "recv ? 02 4D 31 03");
  EXPECT_EQ(sim_->NextLine(), "recv ? 02 4D 54 41 31 03");
  // Noise in front of a command is reported on its own; the command still works.
  line_->Write("\x41" + Stx + "M02" + Etx);
  EXPECT_EQ(sim_->NextLine(), "recv ? 41");
  EXPECT_EQ(sim_->NextLine(), "recv M 02");
  EXPECT_EQ(line_->Read(31).size(), 31u);
  // A command split across writes is taken whole.
  line_->Write(Stx + "C2024");
  line_->Write("03050708" + Etx);
  EXPECT_EQ(sim_->NextLine(), "recv C 202403050708");
}

TEST(AdapterSimDelay, RepliesWaitForTheDelayWithoutHoldingUpCommands) {
  TAdapterSimProcess sim({"--reply-delay", "1000"});
  const std::string ready = sim.NextLine();
  ASSERT_THAT(ready, StartsWith("ready "));
  TLineEnd line(ready.substr(6));
  line.Write(Stx + "M01" + Etx);
  ASSERT_EQ(sim.NextLine(), "recv M 01");
  // A packet sent after the request overtakes the delayed reply.
  ASSERT_EQ(sim.Ask("raw 41"), "ok raw 41");
  const std::string bytes = line.Read(32);
  ASSERT_EQ(bytes.size(), 32u);
  EXPECT_EQ(bytes[0], 'A');
  EXPECT_EQ(bytes.substr(1, 2), Stx + "9");
}

TEST_F(AdapterSimTest, SleepDelaysCommandsButNotReplies) {
  sim_->Send("sleep 600000");
  sim_->Send("ring");
  line_->Write(Stx + "MT07" + Etx);
  EXPECT_EQ(sim_->NextLine(), "recv MT 07");
  EXPECT_EQ(line_->Read(42), EmptyMT);
  EXPECT_EQ(line_->Read(1, 0), ""); // the ring is still waiting behind the sleep
}

TEST_F(AdapterSimTest, SleepEndsWithOk) {
  EXPECT_EQ(sim_->Ask("sleep 1"), "ok sleep 1");
  EXPECT_EQ(sim_->Ask("sleep 0"), "ok sleep 0");
}

TEST_F(AdapterSimTest, UnplugHangsUpTheLineAndReplugGivesANewOne) {
  ASSERT_EQ(sim_->Ask("unplug"), "ok unplug");
  EXPECT_TRUE(line_->WaitHangUp());
  EXPECT_EQ(line_->Read(1), "");
  EXPECT_FALSE(fs::exists(device_));
  EXPECT_FALSE(fs::is_symlink(fs::symlink_status(link_)));
  EXPECT_THAT(sim_->Ask("ring"), StartsWith("error "));
  EXPECT_THAT(sim_->Ask("unplug"), StartsWith("error "));

  ASSERT_EQ(sim_->Ask("replug"), "ok replug");
  const std::string ready = sim_->NextLine();
  ASSERT_THAT(ready, StartsWith("ready /dev/pts/"));
  EXPECT_EQ(fs::read_symlink(link_).string(), ready.substr(6));
  line_ = std::make_unique<TLineEnd>(link_);
  ASSERT_TRUE(line_->IsOpen());
  EXPECT_EQ(Wire("offhook 010101010", 13), Stx + "010101010OF" + Etx);
  line_->Write(Stx + "M01" + Etx);
  EXPECT_EQ(sim_->NextLine(), "recv M 01");
  EXPECT_EQ(line_->Read(31).size(), 31u);
}

TEST_F(AdapterSimTest, BadCommandsAreReportedAndTheSimulatorCarriesOn) {
  for (const char* bad : {"dial 123",
                          "raw",
                          "raw 4",
                          "raw zz",
                          "raw 0x41",
                          "number",
                          "number 123456789012345678901",
                          "number 123 12345",
                          "offhook 1 2",
                          "hook O",
                          "hook OFF",
                          "sleep",
                          "sleep -1",
                          "sleep x",
                          "memory 1 030521010 090 030521012",
                          "memory 0 030521010 090 030521012 OF",
                          "memory 31 030521010 090 030521012 OF",
                          "memory 1 030521010 090 030521012 ON",
                          "memory-empty",
                          "memory-empty 31",
                          "ring 1",
                          "quit now"})
    EXPECT_THAT(sim_->Ask(bad), StartsWith("error ")) << bad;
  // Blanks around a command are not part of it.
  EXPECT_EQ(sim_->Ask("  ring  "), "ok ring");
  EXPECT_EQ(line_->Read(4).size(), 4u);
}

TEST_F(AdapterSimTest, QuitEndsAndRemovesTheLink) {
  EXPECT_EQ(sim_->Ask("quit"), "ok quit");
  EXPECT_EQ(sim_->WaitExit(), 0);
  EXPECT_TRUE(line_->WaitHangUp());
  EXPECT_FALSE(fs::is_symlink(fs::symlink_status(link_)));
}

TEST_F(AdapterSimTest, EndOfInputActsAsQuitAfterTheLastCommand) {
  sim_->Send("sleep 1");
  sim_->Send("ring");
  sim_->CloseInput();
  EXPECT_EQ(sim_->NextLine(), "ok sleep 1");
  EXPECT_EQ(sim_->NextLine(), "ok ring");
  EXPECT_EQ(sim_->WaitExit(), 0);
}

TEST_F(AdapterSimTest, AnExistingLinkIsReplaced) {
  TAdapterSimProcess second({"--link", link_});
  const std::string ready = second.NextLine();
  ASSERT_THAT(ready, StartsWith("ready /dev/pts/"));
  EXPECT_EQ(fs::read_symlink(link_).string(), ready.substr(6));
  // The first simulator leaves a link it no longer owns alone.
  EXPECT_EQ(sim_->Ask("unplug"), "ok unplug");
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link_)));
}

TEST(AdapterSimStart, RefusesBadOptionsAndAPathThatIsNoLink) {
  EXPECT_EQ(TAdapterSimProcess({"--reply-delay", "x"}).WaitExit(), 2);
  EXPECT_EQ(TAdapterSimProcess({"--link"}).WaitExit(), 2);
  const std::string file =
      fs::temp_directory_path() / ("adapter-sim-file-" + std::to_string(getpid()));
  { std::ofstream(file) << "keep"; }
  EXPECT_EQ(TAdapterSimProcess({"--link", file}).WaitExit(), 1);
  EXPECT_TRUE(fs::is_regular_file(file));
  fs::remove(file);
}

} // namespace
