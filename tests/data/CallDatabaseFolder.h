#pragma once

#include "DataTestFolder.h"
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
