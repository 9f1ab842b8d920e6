#pragma once

#include "base/Clock.h"
#include "data/KsoCtiDb.h"
#include "settings/AppSettings.h"
#include "support/FakeFileDialogs.h"
#include "support/FakeMessageBoxes.h"
#include "support/PhoneBookEntry.h"
#include "support/RunProgram.h"
#include "support/TempFolder.h"
#include "ui/UiWindows.h"

#include <QObject>
#include <QStackedWidget>

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
    AddPhoneBookEntry(number, name, created, lastIncoming);
  }

  // A call from a number not yet listed, told to the windows as the call path tells them.
  static void DeliverCall(const std::string& number) {
    TTableRow call;
    call.SetValue("phone_number", number);
    call.SetValue("incoming_order", std::to_string(CtiDb->AddIncoming(number, NowDateText())));
    Windows().IncomingListAddCall(call);
    Windows().PhoneListRowSaved(call);
  }

  TFakeMessageBoxes Boxes;
  TFakeFileDialogs Dialogs;

private:
  TTempFolder folder_;
  TProgramHome home_;
};

// A test of one list window, `Window` of the program's windows: the window,
// its children by name and the page it shows, in a fresh home per test.
template <typename TForm, TForm* (TWindows::*Window)() const>
class TListWindowTest : public QObject {
protected:
  static TForm& Form() { return *(Windows().*Window)(); }
  template <typename T> static T& Child(const char* name) {
    T* child = Form().template findChild<T*>(name);
    if (child == nullptr)
      qFatal("no %s", name);
    return *child;
  }
  static int Page() { return Child<QStackedWidget>("ViewNotebook").currentIndex(); }

  std::unique_ptr<TListTestHome> home_;
};
