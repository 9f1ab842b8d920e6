// One new call reaching the open incoming history at its limit of 3,000
// calls: the row inserted on top and the oldest removed, with the grid shown;
// once as the call itself, once with the repaint that follows it, beside the
// repaint of the unchanged window for comparison.
// Run offscreen: QT_QPA_PLATFORM=offscreen bench/history_row_bench
#include "BenchHome.h"
#include "data/KsoCtiDb.h"
#include "settings/AppSettings.h"
#include "ui/GridView.h"
#include "ui/IncomingListForm.h"
#include "ui/UiWindows.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <fmt/printf.h>

namespace {

TTableRow NewCall() {
  TTableRow call;
  for (const auto& [name, value] : {std::pair{"phone_number", "0399999999"},
                                    {"incoming_date", "2026/12/08 10:20:30.400"},
                                    {"owner_name", "山田商店"},
                                    {"incoming_order", "3001"}})
    call.SetValue(name, value);
  return call;
}

void History_AddCall(benchmark::State& state) {
  const TTableRow call = NewCall();
  for (auto _ : state)
    Windows().IncomingListAddCall(call);
  if (Windows().IncomingList()->Rows().Count() != AppSettings.IncomingLimit)
    state.SkipWithError("the history left its limit");
}

void History_AddCallAndRepaint(benchmark::State& state) {
  const TTableRow call = NewCall();
  for (auto _ : state) {
    Windows().IncomingListAddCall(call);
    QApplication::processEvents();
  }
}

void History_RepaintOnly(benchmark::State& state) {
  for (auto _ : state) {
    Windows().IncomingList()->Grid().viewport()->update();
    QApplication::processEvents();
  }
}
BENCHMARK(History_RepaintOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK(History_AddCall)->Unit(benchmark::kMicrosecond);
BENCHMARK(History_AddCallAndRepaint)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  PrepareBenchHome("teloria2-bench-history-row");
  if (!CreateDatabaseFromTemplate())
    return 1;
  CreateCtiDb();
  CtiDb->BeginTransaction();
  for (int i = 0; i < AppSettings.IncomingLimit; ++i)
    CtiDb->AddIncoming(fmt::sprintf("03%08d", i), fmt::sprintf("2026/12/07 %02d:%02d:%02d.000",
                                                               i / 3600, i / 60 % 60, i % 60));
  CtiDb->Commit();
  Windows().ShowIncomingList();
  QApplication::processEvents();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Windows().FreeAll();
  CtiDb.reset();
  return 0;
}
