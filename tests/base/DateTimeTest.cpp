#include "base/DateTime.h"
#include "base/Clock.h"
#include "base/Exception.h"

#include <cmath>
#include <gtest/gtest.h>

TEST(DateTime, EpochAndKnownDates) {
  EXPECT_DOUBLE_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_DOUBLE_EQ(EncodeDate(1900, 1, 1), 2.0);
  EXPECT_DOUBLE_EQ(EncodeDate(2000, 1, 1), 36526.0);
  EXPECT_DOUBLE_EQ(EncodeDate(2026, 12, 7), 46363.0);
}

TEST(DateTime, InvalidDatesAreRefused) {
  TDateTime d = 0;
  EXPECT_FALSE(TryEncodeDate(2025, 2, 29, d));
  EXPECT_TRUE(TryEncodeDate(2024, 2, 29, d));
  EXPECT_FALSE(TryEncodeDate(1900, 2, 29, d)); // not a leap year
  EXPECT_TRUE(TryEncodeDate(2000, 2, 29, d));
  EXPECT_FALSE(TryEncodeDate(2026, 13, 1, d));
  EXPECT_FALSE(TryEncodeDate(2026, 4, 31, d));
  EXPECT_FALSE(TryEncodeDate(-1, 1, 1, d));
  EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, d));
  EXPECT_FALSE(TryEncodeTime(0, 60, 0, 0, d));
  EXPECT_FALSE(TryEncodeTime(0, 0, 0, 1000, d));
  EXPECT_THROW(EncodeDate(2026, 2, 30), Exception);
}

TEST(DateTime, DecodeRoundTripsEveryMillisecondField) {
  const TDateParts in{2026, 12, 7, 22, 41, 13, 52};
  const TDateParts out = DecodeDateTime(EncodeDateTime(in));
  EXPECT_EQ(out.Year, 2026);
  EXPECT_EQ(out.Month, 12);
  EXPECT_EQ(out.Day, 7);
  EXPECT_EQ(out.Hour, 22);
  EXPECT_EQ(out.Minute, 41);
  EXPECT_EQ(out.Second, 13);
  EXPECT_EQ(out.MilliSecond, 52);
}

TEST(DateTime, LastMillisecondOfTheDayStaysOnThatDay) {
  const TDateTime t = EncodeDateTime({2026, 12, 31, 23, 59, 59, 999});
  EXPECT_EQ(FormatDateTime("yyyy/mm/dd hh:nn:ss.zzz", t), "2026/12/31 23:59:59.999");
  // A value a hair below midnight rounds to the next day, never to 24:00.
  EXPECT_EQ(FormatDateTime("yyyy/mm/dd hh:nn:ss.zzz", EncodeDate(2027, 1, 1) - 1e-10),
            "2027/01/01 00:00:00.000");
}

TEST(DateTime, ValuesOutsideTheCalendarDecodeAsZeros) {
  // Such values come only from outside (a shared-memory record, say).
  for (const double value : {1e300, -1e300, 2958466.0, -693594.0, std::nan(""), HUGE_VAL}) {
    const TDateParts p = DecodeDateTime(value);
    EXPECT_EQ(p.Year + p.Month + p.Day + p.Hour + p.Minute + p.Second + p.MilliSecond, 0) << value;
    EXPECT_EQ(FormatDateTime("yyyy/mm/dd hh:nn", value), "0000/00/00 00:00") << value;
  }
  const TDateTime last = EncodeDateTime({9999, 12, 31, 23, 59, 59, 999});
  EXPECT_EQ(FormatDateTime("yyyy/mm/dd hh:nn:ss.zzz", last), "9999/12/31 23:59:59.999");
  EXPECT_EQ(FormatDateTime("yyyy/mm/dd hh:nn", -693593.5), "0001/01/01 12:00");
}

TEST(DateTime, DayOfWeekCountsFromSunday) {
  EXPECT_EQ(DayOfWeek(EncodeDate(1899, 12, 30)), 7); // Saturday
  EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 6)), 1);  // Sunday
  EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 8)), 3);  // Tuesday
  EXPECT_EQ(DayOfWeek(EncodeDate(2024, 2, 29) + 0.99), 5);
}

TEST(DateTime, EveryPatternTheProgramWrites) {
  const TDateTime t = EncodeDateTime({2024, 3, 5, 7, 8, 9, 4});
  EXPECT_EQ(FormatDateTime("yyyy/mm/dd hh:nn:ss.zzz", t), "2024/03/05 07:08:09.004");
  EXPECT_EQ(FormatDateTime("yyyy/mm/dd hh:nn:ss", t), "2024/03/05 07:08:09");
  EXPECT_EQ(FormatDateTime("yyyy/mm/dd hh:nn", t), "2024/03/05 07:08");
  EXPECT_EQ(FormatDateTime("hh:nn:ss", t), "07:08:09");
  EXPECT_EQ(FormatDateTime("yyyymmddhhnn", t), "202403050708");
  EXPECT_EQ(FormatDateTime("yyyymmdd", t), "20240305");
  EXPECT_EQ(FormatDateTime("yyyymmdd-hhnnss", t), "20240305-070809");
}

TEST(DateTime, QuotedTextIsLiteral) {
  const TDateTime t = EncodeDateTime({2024, 3, 5, 7, 8, 9, 4});
  EXPECT_EQ(FormatDateTime("'day' d", t), "day 5");
}

TEST(Clock, FixedTimeCanBeSetAndAdvanced) {
  const TDateTime t = EncodeDateTime({2026, 12, 7, 23, 59, 59, 0});
  SetFixedNow(t);
  EXPECT_DOUBLE_EQ(Now(), t);
  AdvanceFixedNow(2 * OneSecond);
  EXPECT_EQ(FormatDateTime("yyyy/mm/dd hh:nn:ss", Now()), "2026/12/08 00:00:01");
  EXPECT_EQ(Today(), static_cast<int>(EncodeDate(2026, 12, 8)));
  ClearFixedNow();
  EXPECT_GT(Now(), EncodeDate(2020, 1, 1));
}
