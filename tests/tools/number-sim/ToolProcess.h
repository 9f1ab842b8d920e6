#pragma once

#include "platform/UniqueFd.h"

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

// The real teloria2-number-sim, with pipes on its standard input and output.
class TToolProcess {
public:
  explicit TToolProcess(const std::vector<std::string>& args);
  ~TToolProcess();
  TToolProcess(const TToolProcess&) = delete;
  TToolProcess& operator=(const TToolProcess&) = delete;

  pid_t Pid() const { return pid_; }
  // The next output line, or "<timeout>" / "<eof>".
  std::string NextLine(int timeoutMs = 5000);
  void CloseInput() { input_.Reset(); }
  // True once the process has ended; ExitCode() then holds its exit code.
  bool Ended();
  int ExitCode() const { return exitCode_; }

private:
  pid_t pid_ = -1;
  int exitCode_ = -1;
  TUniqueFd input_;
  TUniqueFd output_;
  std::string buffered_;
};
