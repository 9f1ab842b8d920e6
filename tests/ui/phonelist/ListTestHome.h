#pragma once

#include "base/Clock.h"
#include "data/KsoCtiDb.h"
#include "settings/AppSettings.h"
#include "support/FakeFileDialogs.h"
#include "support/FakeMessageBoxes.h"
#include "support/RunProgram.h"
#include "support/TempFolder.h"

#include <filesystem>
#include <stdexcept>

// A program folder with a fresh call database, default settings, a fixed
// clock and scripted message boxes and file dialogs, for one test function.
class TListTestHome {
public:
  TListTestHome() : home_(folder_.Path()) {
    std::filesystem::copy_file(BinFolder() + "/teloria2.db3.init",
                               folder_.Path() + "/teloria2.db3.init");
    if (!CreateDatabaseFromTemplate())
      throw std::runtime_error("no database");
    CreateCtiDb();
    AppSettings = TAppSettings();
    SetFixedNow(EncodeDateTime({2026, 12, 7, 10, 20, 30, 400}));
  }
  ~TListTestHome() {
    CtiDb.reset();
    AppSettings = TAppSettings();
    ClearFixedNow();
  }
  TListTestHome(const TListTestHome&) = delete;
  TListTestHome& operator=(const TListTestHome&) = delete;

  std::string Path(const std::string& name) const { return folder_.Path() + "/" + name; }

  // Stores an entry with the given values; dates default to fixed texts.
  static void AddEntry(const std::string& number, const std::string& name = "",
                       const std::string& created = "2026/01/01 09:00:00.000",
                       const std::string& lastIncoming = "") {
    TTableRow row;
    row.SetValue("phone_number", number);
    row.SetValue("owner_name", name);
    row.SetValue("created_date", created);
    row.SetValue("last_updated", created);
    row.SetValue("last_incoming_date", lastIncoming);
    CtiDb->InsertPhoneNumber(row);
  }

  TFakeMessageBoxes Boxes;
  TFakeFileDialogs Dialogs;

private:
  TTempFolder folder_;
  TProgramHome home_;
};
