#pragma once

#include "base/UniqueFd.h"

#include <string>
#include <sys/types.h>
#include <vector>

// The real teloria2-number-sim with a pipe on its standard input and its
// standard output in a file.
class TToolProcess {
public:
  TToolProcess(const std::vector<std::string>& args, std::string outputFile);
  ~TToolProcess(); // ends it with SIGTERM when still running
  TToolProcess(const TToolProcess&) = delete;
  TToolProcess& operator=(const TToolProcess&) = delete;

  pid_t Pid() const { return pid_; }
  void CloseInput() { input_.Reset(); }
  // True once the process has ended; ExitCode() then holds its exit code.
  bool Ended();
  int ExitCode() const { return exitCode_; }
  std::string Output() const;
  // Polls the output until it holds `text`.
  bool WaitOutput(const std::string& text) const;

private:
  std::string outputFile_;
  pid_t pid_ = -1;
  int exitCode_ = -1;
  TUniqueFd input_;
};
