#include "SoakDriver.h"

#include "ProcStats.h"
#include "base/Clock.h"
#include "base/CodePage.h"
#include "support/RunProgram.h"
#include "support/TempFolder.h"

#include <cstdio>
#include <filesystem>

namespace {

constexpr int kCallTimeoutMs = 15000;
// The program searches the port again every 2 s once it lost the adapter.
constexpr int kReconnectTimeoutMs = 20000;
constexpr const char* kConnected = "MirelUSB/RX2に接続しました。";
constexpr const char* kReconnecting = "Mirelに再接続します。";

} // namespace

TSoakDriver::TSoakDriver(std::string binFolder, std::string home)
    : bin_(std::move(binFolder)), home_(std::move(home)), log_(home_ + "/logs"),
      history_(home_ + "/teloria2.db3") {}

TSoakDriver::~TSoakDriver() = default;

bool TSoakDriver::Start() {
  std::filesystem::create_directories(home_ + "/run");
  std::filesystem::permissions(home_ + "/run", std::filesystem::perms::owner_all);
  adapter_ =
      std::make_unique<TAdapterSimProcess>(std::vector<std::string>{"--link", home_ + "/adapter"});
  if (adapter_->NextLine().rfind("ready ", 0) != 0) {
    std::fprintf(stderr, "soak: the virtual adapter did not start\n");
    return false;
  }
  WriteFile(home_ + "/teloria2.ini",
            Utf8ToCp932("[Settings]\r\nMirelKT5Port=" + home_ + "/adapter\r\n"));
  StartProgram();
  if (AwaitLogLine(kConnected, 30000).empty()) {
    std::fprintf(stderr, "soak: teloria2 did not connect to the adapter\n");
    return false;
  }
  return true;
}

void TSoakDriver::StartProgram() {
  program_ = std::make_unique<TProgramProcess>(
      bin_ + "/teloria2", std::vector<std::string>{"-arun"},
      std::vector<std::string>{"QT_QPA_PLATFORM=offscreen", "TELORIA2_HOME=" + home_,
                               "XDG_RUNTIME_DIR=" + home_ + "/run"},
      home_ + "/output.txt");
}

void TSoakDriver::Measure(long& residentKiB, int& fds) {
  residentKiB = ResidentKiB(program_->Pid());
  fds = OpenFileDescriptors(program_->Pid());
}

std::string TSoakDriver::AwaitLogLine(const std::string& text, int timeoutMs) {
  std::string found;
  WaitFor(
      [&] {
        for (std::string& line : log_.NewLines())
          unread_.push_back(std::move(line));
        while (!unread_.empty()) {
          std::string line = std::move(unread_.front());
          unread_.pop_front();
          if (line.find(text) != std::string::npos) {
            found = std::move(line);
            return true;
          }
        }
        return !program_->Running();
      },
      std::chrono::milliseconds(timeoutMs));
  return found;
}

bool TSoakDriver::AwaitCall(const TSoakCall& call, int count, int state) {
  return WaitFor(
      [&] {
        int rows = 0;
        THistoryRow newest;
        return !program_->Running() || (history_.Newest(rows, newest) && rows >= count &&
                                        newest.Number == call.Number && newest.State == state);
      },
      std::chrono::milliseconds(kCallTimeoutMs));
}

void TSoakDriver::PlaceCall(const TSoakCall& call) {
  const int count = ++figures_.Placed;
  bool complete = true;
  for (const std::string& command : call.Ring)
    complete = adapter_->Run(command) && complete;
  complete = AwaitCall(call, count, 0) && complete;
  for (const std::string& command : call.Hooks)
    complete = adapter_->Run(command) && complete;
  if (!call.Hooks.empty())
    complete = AwaitCall(call, count, call.State) && complete;
  if (!complete || !program_->Running())
    ++figures_.Stalled;
  if (count == 1)
    Measure(figures_.ResidentStartKiB, figures_.FdsStart);
}

bool TSoakDriver::Replug() {
  if (!adapter_->Run("unplug") || AwaitLogLine(kReconnecting, kReconnectTimeoutMs).empty())
    return false;
  if (!adapter_->Run("replug") || adapter_->NextLine().rfind("ready ", 0) != 0)
    return false;
  const TDateTime plugged = Now();
  const std::string line = AwaitLogLine(kConnected, kReconnectTimeoutMs);
  if (line.empty())
    return false;
  figures_.ReconnectSeconds.push_back((LogLineTime(line) - plugged) * 86400.0);
  return true;
}

void TSoakDriver::Finish() {
  if (program_->Running())
    Measure(figures_.ResidentEndKiB, figures_.FdsEnd);
  program_->Terminate();
  figures_.ExitCode = program_->WaitExit(30000);
  // The adapter removes its link as it quits.
  if (adapter_->Run("quit"))
    adapter_->WaitExit();
}
