#include "makernotes/nikon_formatters.h"

#include <gtest/gtest.h>

namespace pixmeta::test {
namespace {

std::string Lens(std::string_view text) {
  DecodeContext context;
  return FormatNikonLens(text, context);
}

std::string ColorMode(std::string_view text) {
  DecodeContext context;
  return FormatNikonColorMode(text, context);
}

TEST(NikonFormatters, LensFromFourRationals) {
  EXPECT_EQ(Lens("24/1, 120/1, 28/10, 45/10"), "24.0-120.0(mm)  F2.8-F4.5");
  EXPECT_EQ(Lens("180/10, 1050/10, 35/10, 56/10"), "18.0-105.0(mm)  F3.5-F5.6");
  EXPECT_EQ(Lens("50/1, 50/1, 14/10, 14/10, 99/1"), "50.0-50.0(mm)  F1.4-F1.4");
}

TEST(NikonFormatters, LensElementsMissingOrUnreadableCountAsZero) {
  EXPECT_EQ(Lens("24/1, 120/1"), "24.0-120.0(mm)  F0.0-F0.0");
  EXPECT_EQ(Lens("24/0, x, 28/10, 45/10"), "0.0-0.0(mm)  F2.8-F4.5");
  EXPECT_EQ(Lens(""), "0.0-0.0(mm)  F0.0-F0.0");
}

TEST(NikonFormatters, ColorModeNamesTheThreeModes) {
  EXPECT_EQ(ColorMode("\"MODE1\""), "Mode1 (sRGB)");
  EXPECT_EQ(ColorMode("\"MODE2\""), "Mode 2 (Adobe RGB)");
  EXPECT_EQ(ColorMode("\"MODE3 \""), "Mode 3 (sRGB): higher saturation");
}

TEST(NikonFormatters, ColorModeShowsOtherModesAsTheirFiveCharacters) {
  EXPECT_EQ(ColorMode("\"MODE4a\""), "MODE4");
  EXPECT_EQ(ColorMode("\"mode2\""), "mode2");
  EXPECT_EQ(ColorMode("\"BW\""), "BW\"");
  EXPECT_EQ(ColorMode("\""), "");
  EXPECT_EQ(ColorMode(""), "");
}

}  // namespace
}  // namespace pixmeta::test
