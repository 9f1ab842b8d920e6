#pragma once

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

// Folder of the built programs, set by CTest for every test.
inline std::string BinFolder() {
  const char* bin = std::getenv("TELORIA2_BIN");
  return bin != nullptr ? bin : "build/bin";
}

// Runs a program in `workDir` with extra environment entries and waits for
// it; returns its exit code, or -1 when it did not end normally.
inline int RunAndWait(const std::string& program, const std::vector<std::string>& args,
                      const std::string& workDir, const std::vector<std::string>& env = {}) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(workDir.c_str()) != 0)
      _exit(126);
    for (const std::string& e : env)
      putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args)
      argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Polls `done` every few milliseconds until it holds or `timeout` passes.
inline bool WaitFor(const std::function<bool()>& done,
                    std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}
