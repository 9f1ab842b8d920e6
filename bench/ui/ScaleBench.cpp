// The list windows beyond the design's limits: a phone book of 100,000
// entries imported through the phone list, then opened and searched, and the
// history at its 3,000 calls beside it. Each figure is one user action until
// its grid is shown. Run offscreen: QT_QPA_PLATFORM=offscreen bench/scale_bench
#include "BenchHome.h"
#include "BenchResult.h"
#include "ProcStats.h"
#include "base/CodePage.h"
#include "data/KsoCtiDb.h"
#include "settings/AppSettings.h"
#include "support/FakeFileDialogs.h"
#include "support/FakeMessageBoxes.h"
#include "support/TempFolder.h"
#include "ui/IncomingListForm.h"
#include "ui/PhoneListForm.h"
#include "ui/UiWindows.h"

#include <QApplication>
#include <QLineEdit>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fmt/printf.h>
#include <unistd.h>

namespace {

constexpr int Entries = 100000;
constexpr int Calls = 3000;

std::string ImportFile(const std::string& folder) {
  std::string text;
  for (int i = 0; i < Entries; ++i)
    text += fmt::sprintf("03-%08d,名前%d,メモ1,メモ2,メモ3,cmd\r\n", i, i);
  const std::string path = folder + "/import.csv";
  WriteFile(path, Utf8ToCp932(text));
  return path;
}

void AddCalls() {
  CtiDb->BeginTransaction();
  for (int i = 0; i < Calls; ++i)
    CtiDb->AddIncoming(fmt::sprintf("03%08d", i * 31),
                       fmt::sprintf("2026/12/07 10:%02d:%02d.000", i / 60 % 60, i % 60));
  CtiDb->Commit();
}

template <typename F> double Millis(F&& action) {
  const auto start = std::chrono::steady_clock::now();
  action();
  QApplication::processEvents();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const std::filesystem::path home = PrepareBenchHome("teloria2-bench-scale");
  if (!CreateDatabaseFromTemplate())
    return 1;
  CreateCtiDb();
  AppSettings.PhoneLimit = Entries;
  TFakeMessageBoxes boxes;
  TFakeFileDialogs dialogs;
  const std::string csv = ImportFile(home.string());

  Windows().ShowPhoneList();
  PrintUnder("import 100,000 records into an empty book",
             Millis([&] {
               dialogs.Paths = {csv};
               Windows().PhoneList()->ImportButtonClick();
             }) / 1000,
             15, "s", 2);
  AddCalls();
  Windows().Free(Windows().PhoneList());
  PrintUnder("open phone list (100,000 entries)", Millis([] { Windows().ShowPhoneList(); }), 500,
             "ms");
  PrintUnder("resident memory with the phone list open (100,000 entries)",
             ResidentKiB(getpid()) / 1024.0, 150, "MB");
  PrintUnder("search phone list (100,000 entries)", Millis([] {
               Windows().PhoneList()->findChild<QLineEdit*>("SearchEdit")->setText("名前999");
               Windows().PhoneList()->SearchStartButtonClick();
             }),
             150, "ms");
  PrintUnder("open incoming history (3,000 calls, 100,000 entries)",
             Millis([] { Windows().ShowIncomingList(); }), 150, "ms");
  std::printf("messages: %zu info, %zu error\n", boxes.Infos.size(), boxes.Errors.size());
  Windows().FreeAll();
  CtiDb.reset();
  return boxes.Errors.empty() ? 0 : 1;
}
