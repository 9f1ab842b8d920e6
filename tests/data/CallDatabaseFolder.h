#pragma once

#include "DataTestFolder.h"
#include "base/Clock.h"
#include "data/KsoCtiDb.h"

// A program folder whose call database CtiDb is fresh from the template.
class TCallDatabaseFolder : public TDataTestFolder {
protected:
  void SetUp() override {
    TDataTestFolder::SetUp();
    InstallTemplate(ReadFile(TELORIA_DB_TEMPLATE));
    ASSERT_TRUE(CreateDatabaseFromTemplate());
    CreateCtiDb();
  }
  void TearDown() override {
    CtiDb.reset();
    TDataTestFolder::TearDown();
  }
  void InstallTemplate(const std::string& bytes) { WriteFile(Path("teloria2.db3.init"), bytes); }
};

// The same, with the clock fixed at 2026/12/07 10:20:30.400, so that the
// dates an edit stores are known.
class TFixedClockDatabaseFolder : public TCallDatabaseFolder {
protected:
  void SetUp() override {
    TCallDatabaseFolder::SetUp();
    SetFixedNow(EncodeDateTime({2026, 12, 7, 10, 20, 30, 400}));
  }
  void TearDown() override {
    ClearFixedNow();
    TCallDatabaseFolder::TearDown();
  }
};
