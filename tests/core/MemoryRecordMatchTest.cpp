#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Clock.h"
#include "common2/MirelKT5ReceivePacket.h"
#include "core/MemoryRecordMatch.h"
#include "fakes/FakeSerialDevice.h"

namespace {

constexpr double Second = 1.0 / 86400.0;

TDateTime At(int year, int month, int day, int hour, int minute, int second = 0) {
  return EncodeDateTime({year, month, day, hour, minute, second, 0});
}

TStoredCall Stored(const std::string& number, TDateTime incoming, bool answered = true,
                   TDateTime ended = 0) {
  TKT5MirelKT5ReceivePacket packet;
  packet.PhoneNumber = number;
  packet.IncomingDateTime = incoming;
  packet.EventDateTime = ended != 0 ? ended : incoming;
  packet.Answered = answered;
  packet.Unanswered = !answered;
  return *StoredCallOf(packet);
}

THistoryCall History(int order, const std::string& number, TDateTime date, int state = 2) {
  return {{order, FormatDateTime("yyyy/mm/dd hh:nn:ss.zzz", date)}, number, date, state};
}

std::vector<std::string> Numbers(const std::vector<TStoredCall>& calls) {
  std::vector<std::string> out;
  for (const auto& c : calls)
    out.push_back(c.Number + "@" + FormatDateTime("hh:nn", c.Incoming));
  return out;
}

const std::set<std::string> SeenBefore = {"an earlier reading"};

class MemoryRecordMatchTest : public ::testing::Test {
protected:
  TDateTime m = At(2026, 3, 5, 10, 0);
};

TEST_F(MemoryRecordMatchTest, SameNumberTwiceInOneMinuteTakesOneHistoryCallEach) {
  const std::vector<TStoredCall> stored = {Stored("0312345678", m, true),
                                           Stored("0312345678", m, false)};
  const auto one = PlanCatchUp(stored, {History(1, "0312345678", m + 10 * Second)}, SeenBefore, 0);
  ASSERT_EQ(one.Add.size(), 1u);
  EXPECT_EQ(one.Seen.size(), 2u);
  const auto both = PlanCatchUp(
      stored,
      {History(1, "0312345678", m + 10 * Second), History(2, "0312345678", m + 40 * Second)},
      SeenBefore, 0);
  EXPECT_TRUE(both.Add.empty());
}

TEST_F(MemoryRecordMatchTest, WithheldCallsMatchOnlyWithheldCalls) {
  const std::vector<TStoredCall> stored = {Stored("P", m), Stored("P", m + 5 * 60 * Second),
                                           Stored("", m + 9 * 60 * Second)};
  const auto plan = PlanCatchUp(
      stored, {History(1, "P", m + 20 * Second), History(2, "0312345678", m + 5 * 60 * Second)},
      SeenBefore, 0);
  EXPECT_EQ(Numbers(plan.Add), (std::vector<std::string>{"P@10:05", "@10:09"}));
}

TEST_F(MemoryRecordMatchTest, TheAdaptersClockMayBeAMinuteOff) {
  EXPECT_TRUE(WithinRecordMinute(m, m - 60 * Second));
  EXPECT_TRUE(WithinRecordMinute(m, m + 119 * Second));
  EXPECT_FALSE(WithinRecordMinute(m, m - 61 * Second));
  EXPECT_FALSE(WithinRecordMinute(m, m + 120 * Second));
  const std::vector<TStoredCall> stored = {Stored("011", m), Stored("022", m), Stored("033", m)};
  const auto plan =
      PlanCatchUp(stored,
                  {History(1, "011", m + 95 * Second), History(2, "022", m - 50 * Second),
                   History(3, "033", m + 130 * Second)},
                  SeenBefore, 0);
  EXPECT_EQ(Numbers(plan.Add), (std::vector<std::string>{"033@10:00"}));
}

TEST_F(MemoryRecordMatchTest, RecordsAcrossAYearBoundaryDecodeToTheirYear) {
  SetFixedNow(At(2026, 1, 2, 9, 0));
  TMemoryRecordPacket old{}, fresh{}, empty{};
  const auto copy = [](const std::string& s, TMemoryRecordPacket& p) {
    std::copy(s.begin(), s.end(), p.begin());
  };
  // 31 December 2025 was a Wednesday, 1 January 2026 a Thursday.
  copy(FakePackets::MemoryRecord("123131610", "0312345678", "123131612", "OF"), old);
  copy(FakePackets::MemoryRecord("010141200", "0312345678", "010141201", "UR"), fresh);
  copy(FakePackets::MemoryRecord("999999999", "", "999999999", "  "), empty);
  const auto a = StoredCallOf(*DecodeMemoryRecord(old));
  const auto b = StoredCallOf(*DecodeMemoryRecord(fresh));
  ClearFixedNow();
  ASSERT_TRUE(a && b);
  EXPECT_EQ(FormatDateTime("yyyy/mm/dd hh:nn", a->Incoming), "2025/12/31 16:10");
  EXPECT_EQ(a->RingSeconds(), 120);
  EXPECT_EQ(FormatDateTime("yyyy/mm/dd hh:nn", b->Incoming), "2026/01/01 12:00");
  EXPECT_EQ(b->RingSeconds(), 0);
  EXPECT_NE(a->Fingerprint, b->Fingerprint);
  // An empty record in the middle of the memory is no call.
  EXPECT_FALSE(StoredCallOf(*DecodeMemoryRecord(empty)));
  const auto plan =
      PlanCatchUp({*b, *a}, {History(7, "0312345678", a->Incoming + 30 * Second)}, SeenBefore, 0);
  EXPECT_EQ(Numbers(plan.Add), (std::vector<std::string>{"0312345678@12:00"}));
}

TEST_F(MemoryRecordMatchTest, RecordsSeenBeforeNeverComeBackButKeepTheirHistoryCall) {
  const TStoredCall deleted = Stored("011", m);
  const TStoredCall first = Stored("022", m + 60 * Second);
  const TStoredCall second = Stored("022", m + 60 * Second, false);
  const std::set<std::string> known = {deleted.Fingerprint, first.Fingerprint};
  // The deleted call has no history call; the known record of 022 keeps its
  // own, so the second call of that minute is added.
  const auto plan =
      PlanCatchUp({deleted, first, second}, {History(1, "022", m + 70 * Second)}, known, 0);
  EXPECT_EQ(Numbers(plan.Add), (std::vector<std::string>{"022@10:01"}));
  EXPECT_FALSE(plan.Add[0].Answered);
  EXPECT_EQ(plan.Seen, (std::vector<std::string>{second.Fingerprint}));
}

TEST_F(MemoryRecordMatchTest, TheFirstReadingAddsOnlyCallsAfterTheNewest) {
  const std::vector<TStoredCall> stored = {Stored("011", m), Stored("022", m + 10 * 60 * Second),
                                           Stored("033", m + 20 * 60 * Second)};
  const auto plan = PlanCatchUp(stored, {}, {}, m + 10 * 60 * Second + 5 * Second);
  EXPECT_EQ(Numbers(plan.Add), (std::vector<std::string>{"033@10:20"}));
  EXPECT_EQ(plan.Seen.size(), 3u);
  EXPECT_EQ(PlanCatchUp(stored, {}, {}, 0).Add.size(), 3u);
}

TEST_F(MemoryRecordMatchTest, CallsLeftOpenTakeTheRecordsOutcome) {
  const auto plan = PlanCatchUp(
      {Stored("011", m, true, m + 60 * Second), Stored("022", m, false), Stored("033", m)},
      {History(1, "011", m, 0), History(2, "022", m, 1), History(3, "033", m)}, SeenBefore, 0);
  ASSERT_EQ(plan.Finish.size(), 2u);
  EXPECT_EQ(plan.Finish[0].first.Key.Order, 1);
  EXPECT_EQ(plan.Finish[0].second.RingSeconds(), 60);
  EXPECT_EQ(plan.Finish[1].first.Key.Order, 2);
  EXPECT_TRUE(plan.Finish[1].second.Unanswered);
  EXPECT_TRUE(plan.Add.empty());
}

// A call deleted from the history takes its record like a call still there:
// the record is remembered and never added.
TEST_F(MemoryRecordMatchTest, DeletedCallsTakeTheirRecordAndKnownOpenCallsStillEnd) {
  const TStoredCall deleted = Stored("011", m);
  const TStoredCall open = Stored("022", m, false);
  const auto plan = PlanCatchUp(
      {deleted, open},
      {History(0, "011", m + 5 * Second, THistoryCall::Deleted), History(2, "022", m, 0)},
      {open.Fingerprint}, 0);
  EXPECT_TRUE(plan.Add.empty());
  EXPECT_EQ(plan.Seen, (std::vector<std::string>{deleted.Fingerprint}));
  ASSERT_EQ(plan.Finish.size(), 1u);
  EXPECT_EQ(plan.Finish[0].first.Key.Order, 2);
}

} // namespace
