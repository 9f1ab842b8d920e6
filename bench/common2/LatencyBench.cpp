// Time from the last byte of a caller-number packet leaving the adapter's side
// of a pseudo-terminal to OnGroup running on the owner thread. Reported as
// counters over many calls: median and 99th percentile in microseconds.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <termios.h>
#include <unistd.h>

#include "base/PostTarget.h"
#include "base/UniqueFd.h"
#include "common2/MirelKT5Comm.h"
#include "fakes/AdapterSimProcess.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int Calls = 300;

struct TLatencyRun {
  std::shared_ptr<TQueuedPostTarget> post = std::make_shared<TQueuedPostTarget>();
  TMirelKT5Comm comm{post};
  Clock::time_point grouped;
  int groups = 0;

  explicit TLatencyRun(const std::string& port) {
    comm.PortName = port;
    comm.OnGroup = [this](TMirelKT5CommBase&, const IKT5GroupEventArgs&) {
      grouped = Clock::now();
      ++groups;
    };
    comm.Open();
  }

  // Pumps the owner's queue until the next group event; false on time-out.
  bool AwaitGroup() {
    const int wanted = groups + 1;
    return post->PumpUntil([&] { return groups >= wanted; }, std::chrono::seconds(5));
  }
};

void Report(benchmark::State& state, std::vector<double> micros) {
  std::sort(micros.begin(), micros.end());
  state.counters["calls"] = static_cast<double>(micros.size());
  state.counters["median_us"] = micros[micros.size() / 2];
  state.counters["p99_us"] = micros[micros.size() * 99 / 100];
  state.counters["max_us"] = micros.back();
}

double MicrosSince(Clock::time_point start, Clock::time_point end) {
  return std::chrono::duration<double, std::micro>(end - start).count();
}

// The adapter's side played here, so the moment the packet's last byte is
// written is known exactly.
void BM_PtyCallerNumberToGroup(benchmark::State& state) {
  TUniqueFd master(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!master.Valid() || grantpt(master.Get()) != 0 || unlockpt(master.Get()) != 0) {
    state.SkipWithError("no pseudo-terminal");
    return;
  }
  termios tio{};
  tcgetattr(master.Get(), &tio);
  cfmakeraw(&tio);
  tcsetattr(master.Get(), TCSANOW, &tio);
  TLatencyRun run(ptsname(master.Get()));
  const std::string packet = std::string("\x02") + "030520708" + "0312345678          " + "\x03";
  for (auto _ : state) {
    std::vector<double> micros;
    for (int i = 0; i < Calls; ++i) {
      const ssize_t n = write(master.Get(), packet.data(), packet.size());
      const auto sent = Clock::now();
      if (n != static_cast<ssize_t>(packet.size()) || !run.AwaitGroup()) {
        state.SkipWithError("call lost");
        return;
      }
      micros.push_back(MicrosSince(sent, run.grouped));
    }
    Report(state, micros);
  }
}
BENCHMARK(BM_PtyCallerNumberToGroup)->Iterations(1)->Unit(benchmark::kMillisecond);

// The same through the virtual adapter process. Its "ok" line follows the
// write, so the start is taken when the command goes to the adapter: an
// upper bound that includes the adapter's own command handling.
void BM_AdapterSimCallerNumberToGroup(benchmark::State& state) {
  if (access(TAdapterSimProcess::Binary().c_str(), X_OK) != 0) {
    state.SkipWithError("no teloria2-adapter-sim (set TELORIA2_BIN)");
    return;
  }
  const std::string link = "/tmp/teloria-bench-" + std::to_string(getpid());
  TAdapterSimProcess sim({"--link", link});
  if (sim.WaitFor("ready ").rfind("ready ", 0) != 0) {
    state.SkipWithError("adapter simulator did not start");
    return;
  }
  {
    TLatencyRun run(link);
    for (auto _ : state) {
      std::vector<double> micros;
      for (int i = 0; i < Calls; ++i) {
        const auto sent = Clock::now();
        sim.Send("number 0312345678 030520708");
        if (!run.AwaitGroup()) {
          state.SkipWithError("call lost");
          break;
        }
        micros.push_back(MicrosSince(sent, run.grouped));
        sim.WaitFor("ok ");
      }
      if (micros.size() == Calls)
        Report(state, micros);
    }
  }
  std::error_code ignored;
  std::filesystem::remove(link, ignored);
}
BENCHMARK(BM_AdapterSimCallerNumberToGroup)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
