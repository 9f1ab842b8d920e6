#pragma once

#include "CallMemory.h"
#include "DeviceLink.h"
#include "DeviceResponder.h"
#include "PseudoTerminal.h"
#include "base/UniqueFd.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>

// The virtual adapter: runs the commands from standard input one by one,
// while answering the host's commands on the pseudo-terminal at any time.
class TAdapterSim {
public:
  struct TOptions {
    std::string LinkPath;
    int ReplyDelayMs = 20;
  };

  // Opens the first pseudo-terminal; throws Exception on failure.
  explicit TAdapterSim(TOptions options);
  // Returns when told to quit, at the end of input or on SIGTERM/SIGINT/SIGHUP.
  void Run();

private:
  using TClock = std::chrono::steady_clock;

  // The stdin command still in progress: it ends once its bytes have left
  // for the line and its sleep (if any) is over.
  struct TRunning {
    std::string Line;
    TClock::time_point Until;
    uint64_t WrittenMark = 0;
  };
  struct TDelayedReply {
    TClock::time_point Due;
    std::string Bytes;
  };

  void Plug();
  void Unplug();
  void RunReadyCommands();
  void Execute(const std::string& line);
  void ExecuteWrite(const std::string& line, const std::string& bytes);
  void ExecuteReplug(const std::string& line);
  void FinishRunning();
  void Queue(const std::string& bytes);
  void FlushToLine();
  void ReadStdin();
  void ReadLine();
  void SendDueReplies();
  void LineFailed(const char* call, int error);
  int PollTimeoutMs() const;
  static void Print(const std::string& line);

  TOptions options_;
  TDeviceLink link_;
  std::unique_ptr<TPseudoTerminal> pty_; // none while unplugged
  TDeviceResponder responder_;
  TCallMemory calls_{responder_};
  TUniqueFd signals_;
  std::string input_;
  bool inputEnded_ = false;
  bool quitting_ = false;
  std::string output_;
  uint64_t queuedBytes_ = 0;
  uint64_t writtenBytes_ = 0;
  std::optional<TRunning> running_;
  std::deque<TDelayedReply> replies_;
};
