// The list windows at the limits (10,000 entries, 3,000 calls): each figure
// is the best of a few runs of one user action, until its grid is shown.
// Run offscreen: QT_QPA_PLATFORM=offscreen bench/ui_bench
#include "BenchResult.h"
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

namespace {

constexpr int Entries = 10000;
constexpr int Calls = 3000;
constexpr int Runs = 5;

void Fill() {
  CtiDb->BeginTransaction();
  for (int i = 0; i < Entries; ++i) {
    TTableRow row;
    row.SetValue("phone_number", fmt::sprintf("03%08d", i));
    row.SetValue("owner_name", fmt::sprintf("名前%d", i));
    row.SetValue("memo1", "メモ");
    row.SetValue("created_date", fmt::sprintf("2026/01/01 00:00:%02d.%03d", i / 1000, i % 1000));
    row.SetValue("last_updated", row.GetValue("created_date"));
    row.SetValue("last_incoming_date", "2026/12/07 10:20:30.400");
    CtiDb->InsertPhoneNumber(row);
  }
  for (int i = 0; i < Calls; ++i)
    CtiDb->AddIncoming(fmt::sprintf("03%08d", i),
                       fmt::sprintf("2026/12/07 10:%02d:%02d.000", i / 60 % 60, i % 60));
  CtiDb->Commit();
}

std::string ImportFile(const std::string& folder, int firstNumber) {
  std::string text;
  for (int i = 0; i < Entries; ++i)
    text += fmt::sprintf("03-%08d,名前%d,メモ1,メモ2,メモ3,cmd\r\n", firstNumber + i, i);
  const std::string path = folder + "/import.csv";
  WriteFile(path, Utf8ToCp932(text));
  return path;
}

template <typename F> void Measure(const char* what, F&& action, double goalMs) {
  double best = 1e9;
  for (int run = 0; run < Runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    action();
    QApplication::processEvents();
    best = std::min(
        best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                  .count());
  }
  PrintUnder(what, best, goalMs, "ms");
}

} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  TTempFolder folder;
  TProgramHome home(folder.Path());
  std::filesystem::copy_file(TELORIA_DB_TEMPLATE, folder.Path() + "/teloria2.db3.init");
  if (!CreateDatabaseFromTemplate())
    return 1;
  CreateCtiDb();
  Fill();
  TFakeMessageBoxes boxes;
  TFakeFileDialogs dialogs;

  Measure(
      "open phone list (10,000 entries)",
      [] { Windows().Free(Windows().PhoneList()), Windows().ShowPhoneList(); }, 150);
  Measure(
      "open incoming history (3,000 calls)",
      [] { Windows().Free(Windows().IncomingList()), Windows().ShowIncomingList(); }, 150);
  Measure(
      "search phone list",
      [] {
        Windows().PhoneList()->findChild<QLineEdit*>("SearchEdit")->setText("名前99");
        Windows().PhoneList()->SearchStartButtonClick();
      },
      150);
  Measure(
      "search incoming history",
      [] {
        Windows().IncomingList()->findChild<QLineEdit*>("SearchEdit")->setText("10:2");
        Windows().IncomingList()->RefreshButtonClick();
      },
      150);
  Windows().PhoneList()->RefreshButtonClick();
  const std::string out = folder.Path() + "/export.csv";
  Measure(
      "export 10,000 entries",
      [&] {
        dialogs.Paths = {out};
        Windows().PhoneList()->ExportButtonClick();
      },
      500);
  const std::string updates = ImportFile(folder.Path(), 0);
  Measure(
      "import 10,000 records into a full book",
      [&] {
        dialogs.Paths = {updates};
        Windows().PhoneList()->ImportButtonClick();
      },
      2000);
  const std::string fresh = ImportFile(folder.Path(), 50000000);
  Measure(
      "import 10,000 records into an empty book",
      [&] {
        // A fresh database each run, so every run starts from an empty book.
        CtiDb.reset();
        std::filesystem::remove(CtiDbFileName());
        std::filesystem::remove(CtiDbFileName() + "-wal");
        std::filesystem::remove(CtiDbFileName() + "-shm");
        CreateDatabaseFromTemplate();
        CreateCtiDb();
        dialogs.Paths = {fresh};
        Windows().PhoneList()->ImportButtonClick();
      },
      2000);
  std::printf("messages: %zu info, %zu error\n", boxes.Infos.size(), boxes.Errors.size());
  Windows().FreeAll();
  CtiDb.reset();
  return boxes.Errors.empty() ? 0 : 1;
}
