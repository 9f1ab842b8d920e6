// One new call reaching the open incoming history at its limit of 3,000
// calls: the row inserted on top and the oldest removed, with the grid shown;
// once as the call itself, once with the repaint that follows it, beside the
// repaint of the unchanged window for comparison. Medians of 500 runs.
// Run offscreen: QT_QPA_PLATFORM=offscreen bench/history_row_bench
#include "BenchHome.h"
#include "BenchResult.h"
#include "data/KsoCtiDb.h"
#include "settings/AppSettings.h"
#include "ui/GridView.h"
#include "ui/IncomingListForm.h"
#include "ui/UiWindows.h"

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <fmt/printf.h>
#include <vector>

namespace {

constexpr int Runs = 500;

TTableRow NewCall() {
  TTableRow call;
  for (const auto& [name, value] : {std::pair{"phone_number", "0399999999"},
                                    {"incoming_date", "2026/12/08 10:20:30.400"},
                                    {"owner_name", "山田商店"},
                                    {"incoming_order", "3001"}})
    call.SetValue(name, value);
  return call;
}

// The median time of `action` in milliseconds.
template <typename F> double MedianMs(F&& action) {
  std::vector<double> ms;
  for (int run = 0; run < Runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    action();
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count());
  }
  std::nth_element(ms.begin(), ms.begin() + Runs / 2, ms.end());
  return ms[Runs / 2];
}

} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
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

  const TTableRow call = NewCall();
  PrintUnder("one new call into the open history (3,000 calls)",
             MedianMs([&] { Windows().IncomingListAddCall(call); }), 1, "ms", 3);
  PrintResult("one new call into the open history, with its repaint",
              FigureText(MedianMs([&] {
                           Windows().IncomingListAddCall(call);
                           QApplication::processEvents();
                         }),
                         "ms", 2));
  PrintResult("repaint of the open history, unchanged",
              FigureText(MedianMs([] {
                           Windows().IncomingList()->Grid().viewport()->update();
                           QApplication::processEvents();
                         }),
                         "ms", 2));
  const bool atLimit = Windows().IncomingList()->Rows().Count() == AppSettings.IncomingLimit;
  Windows().FreeAll();
  CtiDb.reset();
  return atLimit ? 0 : 1;
}
