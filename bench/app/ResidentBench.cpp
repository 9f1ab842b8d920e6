// The running program with a database at its limits: time from process start
// to Ready, resident memory one minute after start, and CPU time used in the
// following idle minute. Simulator mode, so the program is ready when it
// answers the simulator's query with 100.
#include "BenchDatabase.h"
#include "BenchHome.h"
#include "BenchResult.h"
#include "ProcStats.h"
#include "core/Messages.h"
#include "platform/WindowMessages.h"
#include "settings/SharedValue.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using TClock = std::chrono::steady_clock;

} // namespace

int main() {
  const std::filesystem::path home = PrepareBenchHome("teloria2-bench-app");
  if (!CreateDatabaseFromTemplate())
    return 1;
  CreateCtiDb();
  FillToTheLimits(*CtiDb);
  CtiDb.reset();
  std::ofstream(home / "teloria2.ini") << "[Settings]\r\nMirelKT5Port=TEST\r\n";

  const auto start = TClock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    execl(TELORIA2_PROGRAM, TELORIA2_PROGRAM, "-arun", static_cast<char*>(nullptr));
    _exit(127);
  }
  uint32_t result = 0;
  while (true) {
    const uint32_t window = ReadSharedValue("TELORIA2_CLIENT_WINDOW_MMF");
    if (window != 0 && SendMessageTimeout(window, CMSimQuery, 0, 0, 1000, result) &&
        result == SimResultOk)
      break;
    if (TClock::now() - start > std::chrono::seconds(30))
      return 1;
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  const double readyMs = std::chrono::duration<double, std::milli>(TClock::now() - start).count();
  PrintUnder("start to Ready (10,000 entries, 3,000 calls)", readyMs, 500, "ms", 0);
  std::this_thread::sleep_until(start + std::chrono::seconds(60));
  const long rss = ResidentKiB(pid);
  const double cpuBefore = CpuSeconds(pid);
  PrintUnder("resident memory one minute after start", rss / 1024.0, 60, "MB");
  std::this_thread::sleep_for(std::chrono::seconds(60));
  PrintUnder("CPU time in one idle minute", CpuSeconds(pid) - cpuBefore, 0.2, "s", 3);
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  return 0;
}
