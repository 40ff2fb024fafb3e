#include "util/date_format.h"

#include <gtest/gtest.h>

#include "platform/clock.h"

namespace pixmeta {
namespace {

// 2010-06-05 14:03:09.007, a time whose fields are told apart by their padding.
double Sample() { return platform::EncodeDayCount({2010, 6, 5, 14, 3, 9, 7}).value(); }

TEST(DateFormat, FieldsWithAndWithoutLeadingZeros) {
  EXPECT_EQ(FormatDayCount(Sample(), "yymmdd"), "100605");
  EXPECT_EQ(FormatDayCount(Sample(), "yyyy-mm-dd hh:nn:ss"), "2010-06-05 14:03:09");
  EXPECT_EQ(FormatDayCount(Sample(), "d.m.y h:n:s"), "5.6.10 14:3:9");
  EXPECT_EQ(FormatDayCount(Sample(), "yyy"), "2010");
  EXPECT_EQ(FormatDayCount(Sample(), "ss.zzz ss.z"), "09.007 09.7");
  EXPECT_EQ(FormatDayCount(Sample(), "YYYY-MM-DD"), "2010-06-05");
  const double early = platform::EncodeDayCount({2003, 11, 28, 7, 45, 0}).value();
  EXPECT_EQ(FormatDayCount(early, "yymmdd-hhnn"), "031128-0745");
  EXPECT_EQ(FormatDayCount(early, "h"), "7");
}

TEST(DateFormat, MAfterAnHourMeansMinutes) {
  EXPECT_EQ(FormatDayCount(Sample(), "hh:mm"), "14:03");
  EXPECT_EQ(FormatDayCount(Sample(), "h m"), "14 3");
  // Another field in between makes m the month again.
  EXPECT_EQ(FormatDayCount(Sample(), "hh:nn:ss mm"), "14:03:09 06");
  EXPECT_EQ(FormatDayCount(Sample(), "mm hh"), "06 14");
}

TEST(DateFormat, QuotedTextAndOtherCharactersAreCopied) {
  EXPECT_EQ(FormatDayCount(Sample(), "'day' dd \"of month\" mm"), "day 05 of month 06");
  EXPECT_EQ(FormatDayCount(Sample(), "\"it's\" yy"), "it's 10");
  EXPECT_EQ(FormatDayCount(Sample(), "yy_mm#dd!/\\"), "10_06#05!/\\");
  // An unclosed quote runs to the end.
  EXPECT_EQ(FormatDayCount(Sample(), "yy 'dd mm"), "10 dd mm");
  EXPECT_EQ(FormatDayCount(Sample(), ""), "");
}

TEST(DateFormat, NoTextForADayCountThatIsNoDate) {
  EXPECT_EQ(FormatDayCount(1e300, "yymmdd"), "");
  EXPECT_EQ(FormatDayCount(0, "yyyy-mm-dd"), "1899-12-30");
}

}  // namespace
}  // namespace pixmeta
