// The device benchmarks: console output, then the result lines of
// scripts/bench.
#include "BenchResult.h"

#include <benchmark/benchmark.h>
#include <map>

namespace {

class TDeviceReporter : public benchmark::ConsoleReporter {
public:
  // No colours: the output goes to a log as often as to a terminal.
  TDeviceReporter() : ConsoleReporter(OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      // "BM_Name/iterations:1" and the like: the part before the first '/'.
      const std::string name = run.benchmark_name().substr(0, run.benchmark_name().find('/'));
      if (!run.error_occurred)
        counters_[name] = run.counters;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    PrintResult("receive step: reads, framing and dispatch",
                FigureText(Counter("BM_ReceiveStep", "bytes_per_second") / 1e6, "MB/s"));
    PrintResult("HandlePacket: the call grouping",
                FigureText(Counter("BM_HandlePacket", "items_per_second") / 1e6, "M packets/s"));
    Latency("BM_PtyCallerNumberToGroup", "caller number on a pty to OnGroup");
    Latency("BM_AdapterSimCallerNumberToGroup",
            "caller number through teloria2-adapter-sim to OnGroup");
  }

private:
  double Counter(const std::string& run, const std::string& counter) {
    const auto found = counters_.find(run);
    if (found == counters_.end() || found->second.count(counter) == 0)
      return -1;
    return found->second.at(counter);
  }
  void Latency(const std::string& run, const std::string& measure) {
    if (Counter(run, "median_us") < 0) {
      PrintResult(measure, "not run", "-", "fail");
      return;
    }
    PrintUnder(measure + ", median", Counter(run, "median_us") / 1000, 2, "ms", 3);
    PrintUnder(measure + ", p99", Counter(run, "p99_us") / 1000, 10, "ms", 3);
  }

  std::map<std::string, benchmark::UserCounters> counters_;
};

} // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  TDeviceReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
