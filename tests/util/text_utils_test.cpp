#include "util/text_utils.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

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

TEST(TextUtils, TokenAtCountsFromEitherEnd) {
  EXPECT_EQ(TokenAt("a,b,c", 3, ','), "c");
  EXPECT_EQ(TokenAt("a,b,c", 4, ','), "");
  EXPECT_EQ(TokenAt("a,b,c", -1, ','), "c");
  EXPECT_EQ(TokenAt("a,b,c", -3, ','), "a");
  EXPECT_EQ(TokenAt("a,b,c", -4, ','), "");
  EXPECT_EQ(TokenAt("a,b,c", 0, ','), "");
  EXPECT_EQ(TokenAt("abc", 1, ','), "abc");
  EXPECT_EQ(TokenAt("a,b", INT_MIN, ','), "");
}

TEST(TextUtils, TokenAtEmptyTokensAndSeparatorsAtTheEnds) {
  EXPECT_EQ(TokenAt(",", 1, ','), "");
  EXPECT_EQ(TokenAt("a,,b", 2, ','), "");
  EXPECT_EQ(TokenAt("a,,b", 3, ','), "b");
  EXPECT_EQ(TokenAt("a,,b", -2, ','), "");
  EXPECT_EQ(TokenAt("a,,b", -3, ','), "a");
  // From the start a separator at the end opens no token; from the end it closes an empty one.
  EXPECT_EQ(TokenAt("ab,", 1, ','), "ab");
  EXPECT_EQ(TokenAt("ab,", 2, ','), "");
  EXPECT_EQ(TokenAt("ab,", -1, ','), "");
  EXPECT_EQ(TokenAt("ab,", -2, ','), "ab");
}

TEST(TextUtils, AddListItemTestsWholeItemsCaseSensitively) {
  std::string list = "Lake, Boat";
  AddListItem(list, "Boat", ", ", "");
  AddListItem(list, "Lak", ", ", "");  // a part of an item is not the item
  AddListItem(list, "boat", ", ", "");
  AddListItem(list, "' Sun '", ", ", "");
  AddListItem(list, "  ", ", ", "");
  EXPECT_EQ(list, "Lake, Boat, Lak, boat, Sun");
  std::string empty;
  AddListItem(empty, "Boat", ", ", "");
  EXPECT_EQ(empty, "Boat");
  std::string quoted = "'x'";  // the item may be the list itself
  AddListItem(quoted, quoted, ", ", "");
  EXPECT_EQ(quoted, "'x', x");
}

TEST(TextUtils, AddListItemsSkipsWhatTheListHoldsAnywhereIgnoringCase) {
  std::string list = "Stockholm";
  AddListItems(list, " stock;Oslo ; OSLO;", ", ", "");
  EXPECT_EQ(list, "Stockholm, Oslo");
  std::string stops;
  AddListItems(stops, "a;;b", ", ", "");  // an empty item ends the scan
  EXPECT_EQ(stops, "a");
}

TEST(TextUtils, AddListWordsSplitsAtBlanksCommasAndPoints) {
  std::string list = "Boat.Lake";
  AddListWords(list, " lake sea.Sun", ", ", "");
  EXPECT_EQ(list, "Boat.Lake, sea, Sun");
  // A word added during the call is caught only by the whole-item test.
  std::string repeated;
  AddListWords(repeated, "sun sun Sun", ", ", "");
  EXPECT_EQ(repeated, "sun, Sun");
  // A comma followed by a blank makes an empty word, which ends the scan.
  std::string colours;
  AddListWords(colours, "red, green", ", ", "");
  EXPECT_EQ(colours, "red");
}

TEST(TextUtils, UnquoteRemovesOneMatchingPair) {
  EXPECT_EQ(Unquote("\"a b\""), "a b");
  EXPECT_EQ(Unquote("''a''"), "'a'");
  EXPECT_EQ(Unquote("\"a'"), "\"a'");
  EXPECT_EQ(Unquote("\""), "\"");
}

TEST(TextUtils, ReplaceCharAndDeleteEvery) {
  EXPECT_EQ(ReplaceChar('/', '\\', "a/b//c"), "a\\b\\\\c");
  EXPECT_EQ(ReplaceChar('a', 'b', "aA"), "bA");
  EXPECT_EQ(DeleteEvery("ab", "xaabbby"), "xby");  // deletions form new occurrences
  EXPECT_EQ(DeleteEvery("abc", "ababcc"), "");
  EXPECT_EQ(DeleteEvery("ab", "AB"), "AB");
  EXPECT_EQ(DeleteEvery("", "abc"), "abc");
}

TEST(TextUtils, LineBreaksToCharFoldsBreaksAndThenPairs) {
  EXPECT_EQ(LineBreaksToChar("a\r\nb\nc\rd\te", ' '), "a b c d e");
  EXPECT_EQ(LineBreaksToChar("a\r\n\r\nb", ' '), "a b");
  EXPECT_EQ(LineBreaksToChar("a\n\n\nb", ','), "a,,b");  // one pass: three become two
}

TEST(TextUtils, EscapeAndUnescapeControlChars) {
  EXPECT_EQ(EscapeControlChars("a\r\nb\nc\rd\te"), "a\\nb\\nc\\rd\\te");
  EXPECT_EQ(UnescapeControlChars("a\\r\\nb\\nc\\rd\\te\\x\\"), "a\r\nb\r\nc\rd\te\\x\\");
  EXPECT_EQ(UnescapeControlChars(EscapeControlChars("one\ntwo\n\r")), "one\r\ntwo\r\n\r");
}

}  // namespace
}  // namespace pixmeta
