#include "core/GroupCalls.h"

#include <gtest/gtest.h>

// The events of a call come in their order: one that waits for the call's
// number to be registered holds back the later ones of its group, or an end
// applied first would leave the answer before it no call to update.
TEST(GroupCallsTest, HookEventsWaitBehindTheNumberAndBehindEachOther) {
  TGroupCalls groups;
  EXPECT_FALSE(groups.Defer(7)); // a ring alone: nothing to wait for
  groups.NumberPosted(7);
  EXPECT_TRUE(groups.Defer(7)); // the answer, before the number is registered
  groups.NumberHandled(7, nullptr);
  EXPECT_TRUE(groups.Defer(7));  // the end, read once the number was registered
  EXPECT_FALSE(groups.Defer(8)); // another call's event does not wait
  groups.Resumed(7);
  groups.Ended(7); // an end may come while the group's last event waits
  EXPECT_TRUE(groups.Defer(7));
  groups.Resumed(7);
  groups.Resumed(7);
  groups.Ended(7);
  EXPECT_FALSE(groups.Defer(7));
}
