#pragma once

// teloria2 started on the X server of $DISPLAY, with a window manager, in a
// program folder of its own, its adapter played on a pseudo-terminal by the benchmark, its popup's
// paints stamped (TELORIA2_PAINT_STAMP).
#include "LogTail.h"
#include "PopupLine.h"
#include "ProgramProcess.h"
#include "base/CodePage.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

// The adapter's 30 memory slots filled, one unanswered call a day back from
// yesterday, each its own caller.
inline void StoreMemoryCalls(TDeviceResponder& adapter) {
  for (int slot = 1; slot <= 30; ++slot) {
    const std::string when = EncodeDateTimeField(Now() - slot);
    adapter.SetRecord(slot,
                      TMemoryRecord{when, "09900" + std::to_string(10000 + slot), when, "UR"});
  }
}

// The simulator's timing at 9600 baud: its reply delay of 20 ms and a memory
// record's 42 bytes of 10 bits on the wire.
constexpr int kSimulatorReplyMs = 20 + 44;

class TPopupProgram {
public:
  explicit TPopupProgram(int replyDelayMs = 0)
      : home_(MakeHome()), line_(home_ + "/adapter", replyDelayMs), log_(home_ + "/logs"),
        stamps_(home_ + "/paint.txt") {}
  ~TPopupProgram() {
    if (!program_)
      return;
    program_->Terminate();
    program_->WaitExit();
    if (removeHome_) {
      std::error_code ignored;
      std::filesystem::remove_all(home_, ignored);
    }
  }

  TAdapterLine& Line() { return line_; }
  TStampFile& Stamps() { return stamps_; }
  const std::string& Home() const { return home_; }
  // The program folder goes with the program unless something failed.
  void Succeeded() { removeHome_ = true; }

  // Starts the program (the popup its way of showing calls) and waits for
  // its session to open.
  bool Start() {
    std::ofstream(home_ + "/teloria2.ini", std::ios::binary) << Utf8ToCp932(
        "[Settings]\r\nMirelKT5Port=" + home_ + "/adapter\r\nIncomingDisplayMode=1\r\n");
    ::unsetenv("QT_QPA_PLATFORM");
    // A desktop has a window manager: one is run, unless the display has its
    // own (this one then ends at once).
    std::filesystem::create_directories(home_ + "/wm-home");
    windowManager_ = std::make_unique<TProgramProcess>(
        TELORIA2_OPENBOX, std::vector<std::string>{"--sm-disable"},
        std::vector<std::string>{"HOME=" + home_ + "/wm-home", "XDG_CONFIG_HOME"},
        home_ + "/openbox.txt");
    program_ = std::make_unique<TProgramProcess>(
        TELORIA2_PROGRAM, std::vector<std::string>{"-arun"},
        std::vector<std::string>{"TELORIA2_HOME=" + home_, "XDG_RUNTIME_DIR=" + home_ + "/run",
                                 "TELORIA2_PAINT_STAMP=" + home_ + "/paint.txt"},
        home_ + "/output.txt");
    return WaitForLog("MirelUSB/RX2に接続しました。", 30000);
  }

  // Serves the line until a new log line holds `text`.
  bool WaitForLog(const std::string& text, int timeoutMs) {
    const bool seen = line_.ServeUntil([&] { return LogSays(text); }, timeoutMs);
    if (!seen)
      std::fprintf(stderr, "no \"%s\" in the log (see %s)\n", text.c_str(), home_.c_str());
    return seen;
  }

  // Whether a log line written since the last look holds `text`.
  bool LogSays(const std::string& text) {
    bool said = false;
    for (const std::string& line : log_.NewLines())
      said = said || line.find(text) != std::string::npos;
    return said;
  }

private:
  static std::string MakeHome() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "teloria2-popup-XXXXXX").string();
    std::string home = ::mkdtemp(pattern.data());
    std::filesystem::create_directories(home + "/run");
    std::filesystem::permissions(home + "/run", std::filesystem::perms::owner_all);
    return home;
  }

  std::string home_;
  TAdapterLine line_;
  TLogTail log_;
  TStampFile stamps_;
  std::unique_ptr<TProgramProcess> windowManager_;
  std::unique_ptr<TProgramProcess> program_;
  bool removeHome_ = false;
};
