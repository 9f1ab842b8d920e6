#pragma once

#include "platform/UniqueFd.h"

#include <string>
#include <sys/types.h>
#include <vector>

// The real teloria2-adapter-sim, driven through pipes as other tools drive it.
class TSimProcess {
public:
  explicit TSimProcess(const std::vector<std::string>& args = {});
  ~TSimProcess();
  TSimProcess(const TSimProcess&) = delete;
  TSimProcess& operator=(const TSimProcess&) = delete;

  void Send(const std::string& line);
  // The next output line, or "<timeout>" / "<eof>".
  std::string NextLine(int timeoutMs = 5000);
  // Sends a command and returns the line it answers with.
  std::string Run(const std::string& line) {
    Send(line);
    return NextLine();
  }
  void CloseInput() { input_.Reset(); }
  // Exit status once the process ended by itself; -1 on timeout.
  int WaitExit(int timeoutMs = 5000);

private:
  pid_t pid_ = -1;
  TUniqueFd input_;
  TUniqueFd output_;
  std::string buffered_;
};

// The program's end of the line: the pseudo-terminal slave, opened raw.
class TLineEnd {
public:
  explicit TLineEnd(const std::string& path);
  bool IsOpen() const { return fd_.Valid(); }
  void Write(const std::string& bytes);
  // Exactly `count` bytes, or fewer when the deadline passes first.
  std::string Read(size_t count, int timeoutMs = 5000);
  // True once poll reports the hang-up of a removed adapter.
  bool WaitHangUp(int timeoutMs = 5000);

private:
  TUniqueFd fd_;
};

std::string SimBinary();
