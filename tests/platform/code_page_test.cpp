#include "platform/code_page.h"

#include <gtest/gtest.h>

namespace pixmeta::platform {
namespace {

TEST(CodePage, OutputKeepsValidUtf8AndConvertsWindows1252Bytes) {
  EXPECT_EQ(ToOutputUtf8("plain ascii"), "plain ascii");
  // The degree sign of the tag dictionary is the single byte 0xB0.
  EXPECT_EQ(ToOutputUtf8("Rotated 180\xB0"), "Rotated 180\xC2\xB0");
  // Text that is already UTF-8 is not garbled.
  EXPECT_EQ(ToOutputUtf8("\xC3\xA9t\xC3\xA9"), "\xC3\xA9t\xC3\xA9");
  // The euro sign lives at 0x80 in Windows-1252.
  EXPECT_EQ(ToOutputUtf8("\x80"), "\xE2\x82\xAC");
  // A lead byte without its continuation is a Windows-1252 character of its own.
  EXPECT_EQ(ToOutputUtf8("\xC3 x"), "\xC3\x83 x");
  // Overlong forms and surrogates are not valid UTF-8.
  EXPECT_EQ(ToOutputUtf8("\xC0\xAF"), "\xC3\x80\xC2\xAF");
  EXPECT_EQ(ToOutputUtf8("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xE2\x82\xAC");
  // A sequence cut at the end of the text.
  EXPECT_EQ(ToOutputUtf8("a\xE2\x82"), "a\xC3\xA2\xE2\x80\x9A");
}

TEST(CodePage, TheEdgesOfTheWindows1252Table) {
  EXPECT_EQ(ToOutputUtf8("\x80"), "\xE2\x82\xAC");  // euro sign, the first byte of the block
  EXPECT_EQ(ToOutputUtf8("\x9F"), "\xC5\xB8");      // Y with diaeresis, its last
  // The bytes the table leaves undefined become the C1 control of the same number.
  EXPECT_EQ(ToOutputUtf8("\x81"), "\xC2\x81");
  EXPECT_EQ(ToOutputUtf8("\x8D"), "\xC2\x8D");
  EXPECT_EQ(ToOutputUtf8("\x8F"), "\xC2\x8F");
  EXPECT_EQ(ToOutputUtf8("\x90"), "\xC2\x90");
  EXPECT_EQ(ToOutputUtf8("\x9D"), "\xC2\x9D");
  // Around the block: the last ASCII byte and the first Latin-1 one pass as their own code.
  EXPECT_EQ(ToOutputUtf8("\x7F\xA0\xFF"), "\x7F\xC2\xA0\xC3\xBF");
}

TEST(CodePage, LongPlainRunsAndLineEndsWhereverTheyFall) {
  // Special bytes at every position of a text longer than the blocks the scan looks at.
  for (size_t at = 0; at < 40; ++at) {
    std::string text(40, 'a');
    text[at] = '\xB0';
    std::string expected(40, 'a');
    expected.replace(at, 1, "\xC2\xB0");
    EXPECT_EQ(ToOutputUtf8(text), expected) << at;
    std::string lines(40, 'b');
    lines.replace(at, 1, "\r\n");
    std::string console;
    AppendOutputUtf8(console, lines, true);
    std::string expectedConsole(40, 'b');
    expectedConsole.replace(at, 1, "\n");
    EXPECT_EQ(console, expectedConsole) << at;
    std::string saved;
    AppendOutputUtf8(saved, lines, false);
    EXPECT_EQ(saved, lines) << at;
  }
  // A CR without LF stays; output is appended to what the buffer holds.
  std::string out = "x";
  AppendOutputUtf8(out, "a\rb\r\r\nc\xE9", true);
  EXPECT_EQ(out, "xa\rb\r\nc\xC3\xA9");
}

TEST(CodePage, WholeTextsAreCheckedAsUtf8AndConvertedFromWindows1252) {
  struct Case {
    std::string text;
    bool utf8;
    std::string fromWindows1252;
  };
  const Case cases[] = {
      {"", true, ""},
      {"plain\r\n\t", true, "plain\r\n\t"},
      {"Navy\xE2\x80\x99s", true, "Navy\xC3\xA2\xE2\x82\xAC\xE2\x84\xA2s"},
      {"Navy\x92s", false, "Navy\xE2\x80\x99s"},
      {"caf\xC3\xA9 caf\xE9", false, "caf\xC3\x83\xC2\xA9 caf\xC3\xA9"},
      {"\xC3", false, "\xC3\x83"},                  // a lead byte that ends the text
      {"\xC0\xAF", false, "\xC3\x80\xC2\xAF"},      // overlong
      {"\xED\xA0\x80", false, "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},  // a surrogate
      {"\xF0\x9F\x98\x80", true, "\xC3\xB0\xC5\xB8\xCB\x9C\xE2\x82\xAC"},
      {"\x81\xFF", false, "\xC2\x81\xC3\xBF"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsUtf8(c.text), c.utf8) << c.text;
    EXPECT_EQ(Windows1252ToUtf8(c.text), c.fromWindows1252) << c.text;
    EXPECT_TRUE(IsUtf8(Windows1252ToUtf8(c.text)));
  }
}

TEST(CodePage, CaseFollowsWindows1252) {
  EXPECT_EQ(UpperCase("abc\xE9\xFF\x9A"), "ABC\xC9\x9F\x8A");
  EXPECT_EQ(LowerCase("ABC\xC9\x9F\x8A"), "abc\xE9\xFF\x9A");
  // The division and multiplication signs and the sharp s have no other case.
  EXPECT_EQ(UpperCase("\xF7\xDF"), "\xF7\xDF");
  EXPECT_EQ(LowerCase("\xD7"), "\xD7");
  EXPECT_TRUE(EqualNoCase("GPSLatitude", "gpslatitude"));
  EXPECT_FALSE(EqualNoCase("GPSLatitude", "GPSLatitudeRef"));
}

}  // namespace
}  // namespace pixmeta::platform
