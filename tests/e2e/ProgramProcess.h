#pragma once

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

// A real program started with extra environment entries, its output going
// to a file. The destructor ends it with SIGTERM if it still runs.
class TProgramProcess {
public:
  // `inChild` runs in the new process before the program starts (limits, a
  // user); false ends it with 126.
  TProgramProcess(const std::string& program, const std::vector<std::string>& args,
                  const std::vector<std::string>& env, const std::string& outputFile,
                  const std::function<bool()>& inChild = {});
  ~TProgramProcess();
  TProgramProcess(const TProgramProcess&) = delete;
  TProgramProcess& operator=(const TProgramProcess&) = delete;

  // The process id, which is also its message endpoint's handle.
  pid_t Pid() const { return pid_; }
  bool Running();
  void Signal(int signal);
  void Terminate();
  // Ends it at once, as a crash would.
  void Kill();
  // Exit code once it ended by itself, -1 on time-out, 128+signal when killed.
  int WaitExit(int timeoutMs = 15000);

private:
  pid_t pid_ = -1;
  int status_ = -1;
};
