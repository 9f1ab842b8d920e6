#include "base/PostTarget.h"

#include <gtest/gtest.h>
#include <thread>
#include <vector>

TEST(QueuedPostTarget, RunsInPostingOrderOnThePumpingThread) {
  TQueuedPostTarget target;
  std::vector<int> seen;
  const auto pumping = std::this_thread::get_id();
  std::thread poster([&] {
    for (int i = 0; i < 100; ++i)
      target.Post([&seen, i, pumping] {
        EXPECT_EQ(std::this_thread::get_id(), pumping);
        seen.push_back(i);
      });
  });
  poster.join();
  EXPECT_EQ(target.Pending(), 100u);
  EXPECT_EQ(target.Pump(), 100u);
  ASSERT_EQ(seen.size(), 100u);
  for (int i = 0; i < 100; ++i)
    EXPECT_EQ(seen[static_cast<size_t>(i)], i);
}

TEST(QueuedPostTarget, WhatAClosurePostsRunsAfterWhatWasQueuedBefore) {
  TQueuedPostTarget target;
  std::vector<char> seen;
  target.Post([&] {
    seen.push_back('a');
    target.Post([&] { seen.push_back('c'); });
  });
  target.Post([&] { seen.push_back('b'); });
  target.Pump();
  EXPECT_EQ(seen, (std::vector<char>{'a', 'b', 'c'}));
}

TEST(QueuedPostTarget, PumpUntilWaitsForAnotherThread) {
  TQueuedPostTarget target;
  bool done = false;
  std::thread poster([&] { target.Post([&] { done = true; }); });
  EXPECT_TRUE(target.PumpUntil([&] { return done; }, std::chrono::seconds(10)));
  poster.join();
  EXPECT_FALSE(target.PumpUntil([] { return false; }, std::chrono::milliseconds(1)));
}
