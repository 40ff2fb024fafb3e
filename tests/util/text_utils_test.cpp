#include "util/text_utils.h"

#include <gtest/gtest.h>

namespace pixmeta {
namespace {

TEST(TextUtils, TrimRemovesBlanksAndControlCharacters) {
  EXPECT_EQ(Trim(" \t\r\n a b \x01\x1F "), "a b");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Trim("\xA0x\xA0"), "\xA0x\xA0");  // only bytes up to 32 count as blanks
}

TEST(TextUtils, ParseInt32AcceptsWholeDecimalNumbersWithASign) {
  int32_t v = 7;
  EXPECT_TRUE(ParseInt32("-12", v));
  EXPECT_EQ(v, -12);
  EXPECT_TRUE(ParseInt32("+3", v));
  EXPECT_EQ(v, 3);
  EXPECT_TRUE(ParseInt32("2147483647", v));
  EXPECT_EQ(v, 2147483647);
  for (const char* bad : {"", "+", "-", "x", "1.5", "1e3", "2147483648", "+-1", "0x10", " 1"}) {
    EXPECT_FALSE(ParseInt32(bad, v)) << bad;
  }
}

TEST(TextUtils, IdentHashRotatesAndXors) {
  EXPECT_EQ(IdentHash(""), 0u);
  EXPECT_EQ(IdentHash("abc"), 2043u);
  // Bit 7 rotated 15 times by 2 bits leaves at the top and comes back as bit 5.
  EXPECT_EQ(IdentHash(std::string("\x80") + std::string(15, '\0')), 0x20u);
}

}  // namespace
}  // namespace pixmeta
