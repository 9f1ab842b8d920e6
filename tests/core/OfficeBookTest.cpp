#include "base/Clock.h"
#include "fakes/OfficeBookHarness.h"
#include "settings/AppSettings.h"

#include <gtest/gtest.h>

// The office's phone book between a book station and its desks, each with a
// database of its own, the test carrying (or losing) their messages.
class OfficeBookTest : public ::testing::Test {
protected:
  OfficeBookTest() { SetFixedNow(EncodeDateTime({2026, 12, 9, 9, 0, 0, 0})); }
  ~OfficeBookTest() override {
    ClearFixedNow();
    AppSettings = TAppSettings();
  }

  TTempFolder home;
  TProgramHome programHome{home.Path()};
  TBookOffice office;
};

// ---- Lost, doubled and reordered versions ----

TEST_F(OfficeBookTest, VersionsLostDoubledOrReorderedAreAppliedOnceInOrder) {
  TBookPeer& desk = office.AddDesk("desk1");
  office.station.Save("0300000001", "一");
  office.station.Save("0300000002", "二");
  office.station.Save("0300000001", "三");
  office.station.Delete("0300000002");
  const std::vector<TMqttMessage> versions = office.station.TakeSent();
  ASSERT_EQ(versions.size(), 4u);
  desk.Deliver(versions[1]); // after a missing one: the desk asks
  desk.Deliver(versions[0]);
  desk.Deliver(versions[0]);
  desk.Deliver(versions[3]);
  office.Flush();
  EXPECT_EQ(desk.Entries(), std::vector<std::string>{"0300000001=三"});
  EXPECT_EQ(desk.Entries(), office.station.Entries());
}
