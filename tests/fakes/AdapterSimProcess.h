#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

#include "base/UniqueFd.h"

// The virtual adapter (teloria2-adapter-sim from $TELORIA2_BIN) as a child
// process on pipes: commands in, its report lines out.
class TAdapterSimProcess {
public:
  explicit TAdapterSimProcess(const std::vector<std::string>& args = {});
  ~TAdapterSimProcess();
  TAdapterSimProcess(const TAdapterSimProcess&) = delete;
  TAdapterSimProcess& operator=(const TAdapterSimProcess&) = delete;

  static std::string Binary();
  bool Started() const { return pid_ > 0; }

  void Send(const std::string& line);
  // The next output line, or "<timeout>" / "<eof>".
  std::string NextLine(int timeoutMs = 5000);
  // Reads lines until one starts with `prefix`; returns it, or "<timeout>".
  // The lines passed over are kept in Skipped.
  std::string WaitFor(const std::string& prefix, int timeoutMs = 5000);
  // Sends a command and waits for its "ok" line.
  bool Run(const std::string& command, int timeoutMs = 5000);
  // Sends a line and returns the next line the tool prints.
  std::string Ask(const std::string& line);
  void CloseInput() { input_.Reset(); }
  // Exit status once the process ended by itself; -1 on timeout.
  int WaitExit(int timeoutMs = 5000);

  std::vector<std::string> Skipped;

private:
  pid_t pid_ = -1;
  TUniqueFd input_;
  TUniqueFd output_;
  std::string buffered_;
};
