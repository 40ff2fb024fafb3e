#include "util/pixmeta_lib.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/code_page.h"

namespace pixmeta {
namespace {

using namespace std::string_literals;

TEST(PixmetaLib, SqlSafeTextEscapesBackslashesTabsQuotesAndNul) {
  // The backslash that stands for the TAB is not doubled again.
  EXPECT_EQ(SqlSafeText("a\\b\"c\td\0e'"s), "a\\\\b'c\\td e'");
  EXPECT_EQ(SqlSafeText("x\r\ny\\"), "x\\r\\ny\\\\");  // one line, quote not escaped
}

TEST(PixmetaLib, SqlExactTextKeepsQuotesAndBreaksReadableBack) {
  EXPECT_EQ(SqlExactText("a\"b\\c\r\n\t\0'"s), "a\\\"b\\\\c\\r\\n\\t\\0'");
  EXPECT_EQ(SqlExactText("IMG_1.jpg"), "IMG_1.jpg");
}

TEST(PixmetaLib, CapitalizeWordsLowersOneLetterWords) {
  EXPECT_EQ(CapitalizeWords("JOHN SMITH"), "John Smith");
  EXPECT_EQ(CapitalizeWords("ANNA-LENA"), "Anna-Lena");
  EXPECT_EQ(CapitalizeWords("A. NOBEL"), "a. Nobel");
  EXPECT_EQ(CapitalizeWords("\xC9T\xC9 \xC0 PARIS"), "\xC9t\xE9 \xE0 Paris");
  EXPECT_EQ(CapitalizeWords("mr x."), "Mr X.");  // the separator is the last byte
}

TEST(PixmetaLib, FileNameSlugFoldsToLowerAscii) {
  EXPECT_EQ(FileNameSlug("\xC9t\xE9 2010.jpg"), "ete_2010_jpg");
  EXPECT_EQ(FileNameSlug("A:B@C!d-e_f;[z]"), "a-b-c!d-e_f-_z_");
  EXPECT_EQ(FileNameSlug("\xC5\xE7\xF1\xF7\xD6\xFC\xFF\x8A\xEF\xE6\xF0\xF8\xFD"), "a__oou__ia_o_");
}

TEST(PixmetaLib, FileNameWithoutExtDropsFolderAndLastExtension) {
  EXPECT_EQ(FileNameWithoutExt("/photos/2010/img.01.jpg"), "img.01");
  EXPECT_EQ(FileNameWithoutExt("C:img.jpg"), "img");
  EXPECT_EQ(FileNameWithoutExt("/a.b/noext"), "noext");
}

TEST(PixmetaLib, DigitAndNumberRuns) {
  EXPECT_EQ(DigitGroupAt("img_2010-06-05", 1), "2010");
  EXPECT_EQ(DigitGroupAt("img_2010-06-05", 3), "05");
  EXPECT_EQ(DigitGroupAt("img_2010-06-05", 4), "");
  EXPECT_EQ(NumberRunAt("img-100101", 0), "-100101");
  EXPECT_EQ(NumberRunAt("20100101", 0), "0100101");  // never the first byte
  EXPECT_EQ(NumberRunAt("20100101", 1), "20100101");
  EXPECT_EQ(NumberRunAt("100605_holiday", 5), "100605");
  EXPECT_EQ(NumberRunAt("ab12", -5), "12");
}

TEST(PixmetaLib, IsNumberTextAcceptsPlainDecimalsAndTheTwoWords) {
  for (const char* yes : {"0", "7", "-0.5", "12.75", "-.5", "0.5", "true", "false"}) {
    EXPECT_TRUE(IsNumberText(yes)) << yes;
  }
  for (const char* no :
       {"", "00", "0.", "-", "1.", "+1", "1e5", "1.2.3", "007", "True", "--5", "1-2", "a"}) {
    EXPECT_FALSE(IsNumberText(no)) << no;
  }
}

TEST(PixmetaLib, LooksLikeUtf8NeedsOneByteAfterTheSequence) {
  EXPECT_FALSE(LooksLikeUtf8("caf\xC3\xA9"));
  EXPECT_TRUE(LooksLikeUtf8("caf\xC3\xA9!"));
  EXPECT_FALSE(LooksLikeUtf8("\xE2\x82\xAC"));
  EXPECT_TRUE(LooksLikeUtf8("\xF0\x9F\x98\x80 "));
  EXPECT_FALSE(LooksLikeUtf8("\xE9 \xC3\xA9 x"));  // only the first high byte counts
  // Only the first 16384 bytes are examined.
  EXPECT_TRUE(LooksLikeUtf8(std::string(16381, 'a') + "\xC3\xA9xyz"));
  EXPECT_FALSE(LooksLikeUtf8(std::string(16382, 'a') + "\xC3\xA9xyz"));
  EXPECT_EQ(MetaText("caf\xC3\xA9 au lait"), "caf\xE9 au lait");
  EXPECT_EQ(MetaText("caf\xC3\xA9"), "caf\xC3\xA9");
  EXPECT_EQ(MetaText(" caf\xE9 "), " caf\xE9 ");
}

TEST(PixmetaLib, Utf8ToAnsiTextConvertsToWindows1252) {
  EXPECT_EQ(Utf8ToAnsiText("\xE2\x82\xAC 5 \xC5\xA0"), "\x80 5 \x8A");
  EXPECT_EQ(Utf8ToAnsiText("\xC2\x81|\xC2\x80"), "\x81|?");  // no Windows-1252 byte for U+0080
  EXPECT_EQ(Utf8ToAnsiText("a\xE4\xB8\xADz\xF0\x9F\x98\x80"), "a?z?");
  EXPECT_EQ(Utf8ToAnsiText("  \xC3\xA9t\xC3\xA9 \r\n\0"s), "\xE9t\xE9");
  // Invalid runs: cut short, overlong, surrogate, above U+10FFFF, a lead without its tail.
  EXPECT_EQ(Utf8ToAnsiText("a\xFFz\xE2\x82z\xE2\x82"), "a?z?z?");
  EXPECT_EQ(Utf8ToAnsiText("\xC0\xAF|\xE0\x80\xAF|\xF0\x8F\xBF\xBF"), "??|???|????");
  EXPECT_EQ(Utf8ToAnsiText("\xED\xA0\x80|\xF4\x90\x80\x80|\xC3\xC3\xA9"), "???|????|?\xE9");
}

TEST(PixmetaLib, Utf8ToWindows1252KeepsBlanksAndControlsAtTheEnds) {
  EXPECT_EQ(Utf8ToWindows1252("  \xC3\xA9t\xC3\xA9 \r\n\0"s), "  \xE9t\xE9 \r\n\0"s);
  EXPECT_EQ(Utf8ToWindows1252("Navy\xE2\x80\x99s \xE6\x97\xA5"), "Navy\x92s ?");
}

// Every byte that the output conversion writes as UTF-8 comes back as itself.
TEST(PixmetaLib, Utf8ToAnsiTextReversesTheOutputConversion) {
  for (int b = 33; b < 256; ++b) {
    const std::string text = "a"s + static_cast<char>(b) + "a";
    EXPECT_EQ(Utf8ToAnsiText(platform::ToOutputUtf8(text)), text) << b;
  }
}

}  // namespace
}  // namespace pixmeta
