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
