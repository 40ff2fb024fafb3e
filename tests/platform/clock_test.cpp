#include "platform/clock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>

namespace pixmeta::platform {
namespace {

TEST(Clock, DayCountsCountFrom1899_12_30) {
  EXPECT_EQ(EncodeDayCount({1899, 12, 30}).value(), 0.0);
  EXPECT_EQ(EncodeDayCount({1970, 1, 1}).value(), 25569.0);
  EXPECT_DOUBLE_EQ(EncodeDayCount({2010, 6, 5, 12, 0, 0}).value(), 40334.5);
  EXPECT_EQ(DateTimeText(40334.5), "2010-06-05 12:00:00");
  EXPECT_EQ(DateText(40334.75), "2010-06-05");
  EXPECT_EQ(TimeText(40334.75), "18:00:00");
}

TEST(Clock, EveryTextKeepsMinutesAndSecondsOfTheTimeOfDay) {
  const double days = EncodeDayCount({2011, 7, 14, 21, 42, 5}).value();
  EXPECT_EQ(DateTimeText(days), "2011-07-14 21:42:05");
  EXPECT_EQ(DateText(days), "2011-07-14");
  EXPECT_EQ(TimeText(days), "21:42:05");
  const double early = EncodeDayCount({1999, 1, 2, 3, 4, 59}).value();
  EXPECT_EQ(DateTimeText(early), "1999-01-02 03:04:59");
  EXPECT_EQ(TimeText(early), "03:04:59");
}

TEST(Clock, ImpossibleDatesAreRefused) {
  EXPECT_FALSE(EncodeDayCount({2010, 2, 29}));
  EXPECT_TRUE(EncodeDayCount({2012, 2, 29}));
  EXPECT_FALSE(EncodeDayCount({1900, 2, 29}));
  EXPECT_FALSE(EncodeDayCount({2010, 13, 1}));
  EXPECT_FALSE(EncodeDayCount({2010, 1, 1, 24, 0, 0}));
  EXPECT_FALSE(EncodeDayCount({0, 1, 1}));
  EXPECT_FALSE(DecodeDayCount(1e300));
  EXPECT_FALSE(DecodeDayCount(-1e300));
  EXPECT_EQ(DateTimeText(1e300), "");
}

TEST(Clock, DecodeRoundsToTheMillisecondAndCarriesIntoTheNextDay) {
  const auto t = DecodeDayCount(40334.0 + 86399.9996 / 86400.0);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->day, 6);
  EXPECT_EQ(t->hour, 0);
  EXPECT_EQ(t->second, 0);
  for (double d : {-600000.0, 0.25, 2958465.5}) {
    const auto c = DecodeDayCount(d);
    ASSERT_TRUE(c) << d;
    EXPECT_DOUBLE_EQ(EncodeDayCount(*c).value_or(-1), d);
  }
}

TEST(Clock, TimesBefore1899_12_30ReadBackAsTheyWereMade) {
  for (const CalendarTime t : {CalendarTime{1005, 7, 14, 21, 42, 5}, CalendarTime{1899, 12, 29, 6},
                               CalendarTime{1, 1, 1, 23, 59, 59}}) {
    const auto back = DecodeDayCount(EncodeDayCount(t).value());
    ASSERT_TRUE(back);
    EXPECT_EQ(std::tie(back->year, back->month, back->day, back->hour, back->minute, back->second),
              std::tie(t.year, t.month, t.day, t.hour, t.minute, t.second));
  }
  // Later times of a day have larger counts there too.
  EXPECT_LT(EncodeDayCount({1899, 12, 29, 6}).value(), EncodeDayCount({1899, 12, 29, 18}).value());
  EXPECT_EQ(DateTimeText(-0.25), "1899-12-29 18:00:00");
}

TEST(Clock, LocalConversionsRoundTrip) {
  setenv("TZ", "Europe/Stockholm", 1);
  tzset();
  // 2010-06-05 12:00 UTC is 14:00 summer time in Stockholm.
  const double unix = (40334.5 - 25569.0) * 86400.0;
  EXPECT_EQ(DateTimeText(UnixToLocalDays(unix)), "2010-06-05 14:00:00");
  EXPECT_DOUBLE_EQ(LocalDaysToUnix(UnixToLocalDays(unix)).value(), unix);
  EXPECT_EQ(DateTimeText(UnixToUtcDays(unix)), "2010-06-05 12:00:00");
  unsetenv("TZ");
  tzset();
}

}  // namespace
}  // namespace pixmeta::platform
