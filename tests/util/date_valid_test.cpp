#include "util/date_valid.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/clock.h"

namespace pixmeta {
namespace {

// IsValidDateText's verdict and the text it leaves behind.
struct Checked {
  bool valid;
  std::string text;
};
Checked Check(std::string text, uint8_t window = 0) {
  const bool valid = IsValidDateText(text, window);
  return {valid, text};
}

void ExpectValid(const std::string& input, const std::string& canonical) {
  const Checked c = Check(input);
  EXPECT_TRUE(c.valid) << input;
  EXPECT_EQ(c.text, canonical) << input;
}

void ExpectInvalid(const std::string& input, const std::string& left) {
  const Checked c = Check(input);
  EXPECT_FALSE(c.valid) << input;
  EXPECT_EQ(c.text, left) << input;
}

TEST(DateValid, TrimToDigitsKeepsFirstToLastDigit) {
  EXPECT_EQ(TrimToDigits(" \t(2010:06:05)\r\n"), "2010:06:05");
  EXPECT_EQ(TrimToDigits("06/05/2010 2:30 pm"), "06/05/2010 2:30");
  EXPECT_EQ(TrimToDigits("x7y"), "7");
  EXPECT_EQ(TrimToDigits("no digits"), "");
}

TEST(DateValid, CameraDatesWithColonsOrPointsBecomeCanonical) {
  ExpectValid("2010:06:05 14:30:00", "2010-06-05 14:30:00");
  ExpectValid("2010:06:05 14.30", "2010-06-05 14:30:00");
  ExpectValid(" 2010-06-05 14.30.15 ", "2010-06-05 14:30:15");
  ExpectValid("2010-06-05", "2010-06-05 00:00:00");
  // Points in the date turn into colons that are not repaired again.
  ExpectInvalid("2010.06.05", "2010:06:05 00:00:00");
  ExpectInvalid("2010-06-05T14:30:00", "2010-06-05T14:30:00");
}

TEST(DateValid, SlashDatesAreMonthFirstUnlessTheMonthCannotBeOne) {
  // The trailing pm is trimmed before the test, and the hour is not padded.
  ExpectValid("06/05/2010 2:30 pm", "2010-06-05 2:30:00");
  ExpectValid("25/12/2010 10:00", "2010-12-25 10:00:00");
  ExpectValid("06/5/2010 9:15", "2010-06-05 9:15:00");
  // The first '/' must be the third byte.
  ExpectInvalid("6/05/2010 9:15", "");
  // A pm that is not at the end counts.
  ExpectValid("06/05/2010 2:30 pm 1", "2010-06-05 14:30:00");
  ExpectValid("06/05/87 12:00", "1987-06-05 12:00:00");
  ExpectValid("06/05/10 12:00", "2010-06-05 12:00:00");
  // 12 pm gives hour 24, and without a time the fields stay empty.
  ExpectInvalid("06/05/2010 12:30 pm 1", "2010-06-05 24:30:00");
  ExpectInvalid("06/05/2010", "2010-06-05 ::00");
  // A month or pm hour that is not a number makes the value invalid.
  EXPECT_FALSE(Check("1x/05/2010 10:00").valid);
  EXPECT_FALSE(Check("06/05/2010 x:30 pm 1").valid);
}

TEST(DateValid, DigitRunsAreYymmddElseYyyymmAndYyyymmdd) {
  ExpectValid("100605", "2010-06-05 00:00:00");
  ExpectValid("870214", "1987-02-14 00:00:00");
  ExpectValid("991231", "1999-12-31 00:00:00");
  // A valid yymmdd reading wins over yyyymm.
  ExpectValid("201013", "2020-10-13 00:00:00");
  ExpectValid("201012", "2020-10-12 00:00:00");
  ExpectInvalid("201099", "2010-99-01 00:00:00");
  ExpectValid("199906", "1999-06-01 00:00:00");
  ExpectValid("20100605", "2010-06-05 00:00:00");
  ExpectInvalid("20101305", "2010-13-05 00:00:00");
}

TEST(DateValid, OutOfRangeAndImpossibleDatesAreInvalid) {
  ExpectInvalid("123456", "1234-56-01 00:00:00");
  ExpectInvalid("12345", "12345");
  ExpectInvalid("1234567", "");
  ExpectInvalid("0000:00:00 00:00:00", "0000:00:00 00:00:00");
  ExpectInvalid("2101-01-01", "2101-01-01 00:00:00");
  ExpectInvalid("1899-12-31", "1899-12-31 00:00:00");
  // The range check lets 30 February through; reading it does not.
  ExpectInvalid("2010-02-30", "2010-02-30 00:00:00");
  ExpectValid("2012-02-29", "2012-02-29 00:00:00");
  ExpectInvalid("2010-06-05 24:00:00", "2010-06-05 24:00:00");
  ExpectInvalid("2010-06-05 14:60", "2010-06-05 14:60:00");
  ExpectInvalid("2010-13-05", "2010-13-05 00:00:00");
}

TEST(DateValid, CanonicalTextsAreReadAsDayCounts) {
  EXPECT_EQ(CanonicalDateDays("2010-06-05 12:00:00"),
            platform::EncodeDayCount({2010, 6, 5, 12, 0, 0}));
  EXPECT_EQ(CanonicalDateDays("2010-06-05 2:30:00"),
            platform::EncodeDayCount({2010, 6, 5, 2, 30, 0}));
  EXPECT_FALSE(CanonicalDateDays("2010-06-05 14:30"));
  EXPECT_FALSE(CanonicalDateDays("2010-06-05 14:30:00 "));
  EXPECT_FALSE(CanonicalDateDays("2010-06-05 ::00"));
  EXPECT_FALSE(CanonicalDateDays("2010-06-05 14:30:00000"));
  EXPECT_FALSE(CanonicalDateDays("2010:06:05 14:30:00"));
}

TEST(DateValid, AWindowKeepsOnlyDatesNearNow) {
  const std::string today = platform::DateTimeText(platform::LocalNow());
  EXPECT_TRUE(Check(today, 1).valid);
  EXPECT_FALSE(Check("1990-01-01", 1).valid);
  EXPECT_TRUE(Check("1990-01-01", 0).valid);
  const std::string nextYear = platform::DateTimeText(platform::LocalNow() + 60);
  EXPECT_FALSE(Check(nextYear, 1).valid);
  EXPECT_TRUE(Check(nextYear, 2).valid);
}

TEST(DateValid, FileNameKeysLeaveOutDates) {
  const std::pair<const char*, const char*> cases[] = {
      {"100605_holiday", "holiday"},
      {"holiday_20100605", "holiday"},
      {"holiday_100605-120000", "holiday"},
      {"IMG_1234", "img1234"},
      {"100605-120000_boat", "boat"},
      {"2010-06-05 party", "party"},
      {"20100605", "0"},
      {"sommarstugan_vid_sjon_2", "sommarstuganjon2"},
      {"midsommarafton_pa_landet", "midsommaraftndet"},
      // A run that is no date stays, and so does a date inside the name.
      {"123456_x", "123456x"},
      {"a_100605_b", "a100605b"},
      {"--!!--", "0"},
  };
  for (const auto& [name, key] : cases) EXPECT_EQ(FileNameKey(name, 16), key) << name;
  // From 20 on the separators stay, only those at the ends go.
  EXPECT_EQ(FileNameKey("_my_boat_", 20), "my_boat");
  EXPECT_EQ(FileNameKey("abcdefghij", 6), "abcdij");
}

}  // namespace
}  // namespace pixmeta
