#include "settings/SettingsListeners.h"

#include <gtest/gtest.h>
#include <string>

class SettingsListenersTest : public ::testing::Test {
protected:
  void TearDown() override {
    for (uint32_t h : used)
      RemoveSettingsListener(h);
  }
  void Add(uint32_t handle, const TPostTargetPtr& to, char mark) {
    used.push_back(handle);
    AddSettingsListener(handle, {to, [this, mark] { seen += mark; }});
  }

  std::shared_ptr<TQueuedPostTarget> target = std::make_shared<TQueuedPostTarget>();
  std::string seen;
  std::vector<uint32_t> used;
};

TEST_F(SettingsListenersTest, NoticesArePostedInTheOrderOfTheHexTexts) {
  Add(0xB0000000, target, 'c');
  Add(0x0000000A, target, 'a');
  Add(0x000000A0, target, 'b');
  NotifySettingsChanged();
  EXPECT_EQ(seen, ""); // posted, not called
  target->Pump();
  EXPECT_EQ(seen, "abc");
}

TEST_F(SettingsListenersTest, SecondRegistrationKeepsOneEntry) {
  Add(7, target, 'x');
  Add(7, target, 'y');
  NotifySettingsChanged();
  target->Pump();
  EXPECT_EQ(seen, "x");
}

TEST_F(SettingsListenersTest, RemovedAndVanishedListenersGetNothing) {
  Add(1, target, 'a');
  {
    auto gone = std::make_shared<TQueuedPostTarget>();
    Add(2, gone, 'b');
  }
  Add(3, target, 'c');
  RemoveSettingsListener(3);
  RemoveSettingsListener(99); // never added
  NotifySettingsChanged();
  target->Pump();
  EXPECT_EQ(seen, "a");
}

TEST_F(SettingsListenersTest, NothingRegisteredPostsNothing) {
  NotifySettingsChanged();
  EXPECT_EQ(target->Pending(), 0u);
}

TEST_F(SettingsListenersTest, FreshHandlesDiffer) {
  EXPECT_NE(NewListenerHandle(), NewListenerHandle());
}
