#include "exif/value_format.h"

#include <gtest/gtest.h>

#include <charconv>

#include <cmath>
#include <initializer_list>
#include <limits>
#include <utility>

#include "exif/tag_dictionary.h"
#include "fixtures/tiff_builder.h"
#include "platform/clock.h"

namespace pixmeta {
namespace {

constexpr bool kByteOrders[] = {false, true};

// Value bytes in one byte order.
class Values {
 public:
  explicit Values(bool bigEndian) : builder_(bigEndian) {}

  std::string Shorts(std::initializer_list<uint16_t> values) const {
    std::string out;
    for (const uint16_t v : values) out += builder_.U16(v);
    return out;
  }
  std::string Long(uint32_t v) const { return builder_.U32(v); }
  std::string Rationals(std::initializer_list<std::pair<int32_t, int32_t>> values) const {
    std::string out;
    for (const auto& [n, d] : values) {
      out += builder_.U32(static_cast<uint32_t>(n));
      out += builder_.U32(static_cast<uint32_t>(d));
    }
    return out;
  }

 private:
  test::TiffBuilder builder_;
};

// The display text of a value under a dictionary row: formatted, then decoded.
std::string Shown(uint16_t tag, int kind, std::string_view raw, int32_t type, bool bigEndian) {
  const TagRow& row = FindRowByTag(tag, kind);
  const std::string text = FormatNumeric(raw, type, row.codes, row.printFormat, bigEndian);
  if (row.decoder == nullptr) return text;
  DecodeContext context;
  return row.decoder(text, context);
}

std::string Decoded(TagDecoder decoder, std::string_view text) {
  DecodeContext context;
  return decoder(text, context);
}

// Restores the program's coordinate style when a test changed it.
class GpsStyleGuard {
 public:
  ~GpsStyleGuard() { SetGpsCoordinateStyle(0); }
};

TEST(ValueFormat, IntegersShowInDecimalOrAsTheirCodedText) {
  for (const bool big : kByteOrders) {
    SCOPED_TRACE(big ? "big-endian" : "little-endian");
    const Values v(big);
    EXPECT_EQ(FormatNumeric(v.Shorts({640}), kTypeShort, "", "", big), "640");
    EXPECT_EQ(FormatNumeric(v.Shorts({1, 2, 65535}), kTypeShort, "", "", big), "1, 2, 65535");
    EXPECT_EQ(FormatNumeric(v.Long(70000), kTypeLong, "", "", big), "70000");
    EXPECT_EQ(FormatNumeric(v.Long(0xFFFFFFFF), kTypeSLong, "", "", big), "4294967295");
    EXPECT_EQ(FormatNumeric(v.Shorts({0xFFFF}), kTypeSShort, "", "", big), "65535");
    EXPECT_EQ(Shown(0x0112, kMainDirectory, v.Shorts({1}), kTypeShort, big), "Normal");
    EXPECT_EQ(Shown(0x0112, kMainDirectory, v.Shorts({6}), kTypeShort, big),
              "CounterClockwise 90\xB0");
    EXPECT_EQ(Shown(0x0112, kMainDirectory, v.Shorts({2}), kTypeShort, big), "");
    // An element without a code adds nothing, not even a separator before the next one.
    EXPECT_EQ(Shown(0x0112, kMainDirectory, v.Shorts({2, 1, 3}), kTypeShort, big),
              "Normal, Rotated 180\xB0");
    EXPECT_EQ(FormatNumeric(v.Shorts({1}) + "\x01", kTypeShort, "", "", big), "1");
  }
  EXPECT_EQ(Shown(0x0005, kGpsDirectory, std::string(1, '\0'), kTypeByte, false), "Sealevel");
}

TEST(ValueFormat, RationalsShowAsFractionsOrThroughTheirPrintFormat) {
  for (const bool big : kByteOrders) {
    SCOPED_TRACE(big ? "big-endian" : "little-endian");
    const Values v(big);
    EXPECT_EQ(FormatNumeric(v.Rationals({{1, 60}}), kTypeRational, "", "", big), "1/60");
    EXPECT_EQ(FormatNumeric(v.Rationals({{-1, 3}, {5, -7}}), kTypeSRational, "", "", big),
              "-1/3, 5/-7");
    EXPECT_EQ(Shown(0x829A, kMainDirectory, v.Rationals({{1, 60}}), kTypeRational, big),
              "1/60 sec");
    EXPECT_EQ(Shown(0x829D, kMainDirectory, v.Rationals({{28, 10}}), kTypeRational, big), "F2.8");
    EXPECT_EQ(Shown(0x920A, kMainDirectory, v.Rationals({{58, 10}}), kTypeRational, big),
              " 5.80 mm");
    EXPECT_EQ(Shown(0x920A, kMainDirectory, v.Rationals({{580, 10}}), kTypeRational, big),
              "58.00 mm");
    EXPECT_EQ(Shown(0x011A, kMainDirectory, v.Rationals({{72, 1}}), kTypeRational, big), "72.00");
    EXPECT_EQ(Shown(0x0006, kGpsDirectory, v.Rationals({{1234, 10}}), kTypeRational, big), "123");
    // A zero denominator shows as written and counts as 0.
    EXPECT_EQ(Shown(0x829D, kMainDirectory, v.Rationals({{28, 0}}), kTypeRational, big), "F0.0");
    // With codes, the text so far is the key and its code text is appended.
    EXPECT_EQ(FormatNumeric(v.Rationals({{1, 2}}), kTypeRational, "1/2:half", "", big),
              "1/2half");
  }
}

TEST(ValueFormat, ArraysAreCutAt128Elements) {
  const std::string bytes(300, '\x07');
  const std::string text = FormatNumeric(bytes, kTypeByte, "", "", false);
  EXPECT_EQ(text.size(), 128 * 3 - 2u);
  EXPECT_EQ(text.substr(0, 7), "7, 7, 7");
  const Values v(true);
  std::string rationals;
  for (int i = 0; i < 130; ++i) rationals += v.Rationals({{i, 1}});
  const std::string shown = FormatNumeric(rationals, kTypeRational, "", "", true);
  EXPECT_TRUE(shown.ends_with(", 127/1")) << shown.substr(shown.size() - 20);
}

TEST(ValueFormat, TypesWithoutANumberShowPlaceholders) {
  for (const bool big : kByteOrders) {
    EXPECT_EQ(FormatNumeric(std::string(4, '\x3F'), kTypeFloat, "", "", big), "-9999.99");
    EXPECT_EQ(FormatNumeric(std::string(16, '\x01'), kTypeDouble, "", "", big),
              "-9999.99, -9999.99");
    EXPECT_EQ(FormatNumeric("ab", kTypeAscii, "", "", big), "?, ?");
    EXPECT_EQ(FormatNumeric("ab", kTypeUndefined, "1:x", "", big), "?, ?");
    EXPECT_EQ(FormatNumeric("abcd", kTypeNone, "", "", big), "0");
    EXPECT_EQ(FormatNumeric("abcd", 13, "", "%5.2f", big), "0");
    EXPECT_EQ(FormatNumeric("", kTypeShort, "", "", big), "");
  }
}

TEST(ValueFormat, NumericValueReadsSignedIntegersRationalsAndIeeeNumbers) {
  for (const bool big : kByteOrders) {
    SCOPED_TRACE(big ? "big-endian" : "little-endian");
    const Values v(big);
    EXPECT_EQ(NumericValue(v.Shorts({640}), kTypeShort, big), 640);
    EXPECT_EQ(NumericValue(v.Long(0xFFFFFFFF), kTypeLong, big), -1);
    EXPECT_EQ(NumericValue(v.Rationals({{-7, 2}}), kTypeSRational, big), -3.5);
    EXPECT_EQ(NumericValue(v.Rationals({{7, 0}}), kTypeRational, big), 0);
    EXPECT_EQ(NumericValue(v.Long(7), kTypeRational, big), 0);  // denominator missing
    EXPECT_EQ(NumericValue(v.Long(0x3FC00000), kTypeFloat, big), 1.5);
    const std::string minus2_25 =
        big ? v.Long(0xC0020000) + v.Long(0) : v.Long(0) + v.Long(0xC0020000);
    EXPECT_EQ(NumericValue(minus2_25, kTypeDouble, big), -2.25);
    EXPECT_EQ(NumericValue(v.Long(0x7FC00000), kTypeFloat, big), 0);  // NaN
    EXPECT_EQ(NumericValue(v.Long(0x7F800000), kTypeFloat, big), 0);  // infinity
    EXPECT_EQ(NumericValue("\x3F\xC0", kTypeFloat, big), 0);
    EXPECT_EQ(NumericValue("12", kTypeAscii, big), 0);
    // A FLOAT with a print format shows its number.
    EXPECT_EQ(FormatNumeric(v.Long(0x40B9999A), kTypeFloat, "", "%5.2f mm", big), " 5.80 mm");
  }
}

TEST(ValueFormat, WholeNumbersAreWrittenAsTheGeneralConversionWritesThem) {
  // The reference: the standard conversion with the same number of decimals.
  const auto reference = [](double value, int decimals) {
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return std::string(buffer, result.ptr);
  };
  for (const double value : {0.0, -0.0, 1.0, -1.0, 7.0, 72.0, -3.0, 4096.0, 1e14, -1e14,
                             999999999999999.0, 1e15, 123456789.0, 0.5, -0.5, 70.000001}) {
    for (const int decimals : {0, 1, 2, 6, 60}) {
      EXPECT_EQ(FormatFixed(value, 0, decimals), reference(value, decimals))
          << value << " with " << decimals;
    }
  }
}

TEST(ValueFormat, ANumbersTextNeedsOnlyTheCut) {
  // Texts made without codes or a print format are cleaned by the cut alone.
  test::TiffBuilder le(false);
  std::vector<uint16_t> shorts(200);
  for (size_t i = 0; i < shorts.size(); ++i) shorts[i] = static_cast<uint16_t>(i * 37 % 1000);
  std::string shortBytes;
  for (const uint16_t v : shorts) shortBytes += le.U16(v);
  const std::pair<std::string, int32_t> values[] = {
      {shortBytes, kTypeShort},
      {shortBytes.substr(0, 6), kTypeSShort},
      {le.U32(4294967295u) + le.U32(7), kTypeLong},
      {le.U32(static_cast<uint32_t>(-3)) + le.U32(1) + le.U32(1) + le.U32(0), kTypeSRational},
      {le.U32(0) + le.U32(0), kTypeRational},
      {std::string("\xFF\x01", 2), kTypeByte},
      {le.U32(0x3F800000), kTypeFloat},
      {"", kTypeShort},
      {"x", 99}};
  for (const auto& [raw, type] : values) {
    const std::string text = FormatNumeric(raw, type, {}, {}, false);
    EXPECT_EQ(CleanNumberText(text), CleanText(text)) << text;
  }
}

TEST(ValueFormat, PrintFormatsAndFixedPoint) {
  EXPECT_EQ(ApplyPrintFormat("%s sec", "1/60", 9), "1/60 sec");
  EXPECT_EQ(ApplyPrintFormat("F%0.1f", "x", 2.8), "F2.8");
  EXPECT_EQ(ApplyPrintFormat("%5.2f mm", "", 5.8), " 5.80 mm");
  EXPECT_EQ(ApplyPrintFormat("%-6.1f|", "", 2.5), "2.5   |");
  EXPECT_EQ(ApplyPrintFormat("%4s|%.1s", "ab", 0), "  ab|a");
  EXPECT_EQ(ApplyPrintFormat("%f", "", 1.5), "1.500000");
  EXPECT_EQ(ApplyPrintFormat("100%% %d %", "", 1), "100% %d %");

  EXPECT_EQ(FormatFixed(59.3291666, 1, 6), "59.329167");
  EXPECT_EQ(FormatFixed(0.00390625, 4, 4), "0.0039");
  EXPECT_EQ(FormatFixed(-0.25, 0, 1), "-0.2");
  EXPECT_EQ(FormatFixed(14, 0, 0), "14");
  EXPECT_EQ(FormatFixed(1e20, 1, 0), "100000000000000000000");
  EXPECT_EQ(FormatFixed(INFINITY, 5, 2), "  inf");
  // Widths and decimals from a format are bounded, so nothing can outgrow the buffer.
  EXPECT_EQ(FormatFixed(1, 100000, 0).size(), 64u);
  EXPECT_EQ(FormatFixed(-std::numeric_limits<double>::max(), 0, 1000).size(), 1 + 309 + 1 + 60u);
}

TEST(ValueFormat, RoundHalfEvenGoesToTheEvenNeighbourAndClamps) {
  EXPECT_EQ(RoundHalfEven(0.5), 0);
  EXPECT_EQ(RoundHalfEven(1.5), 2);
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(2.5000001), 3);
  EXPECT_EQ(RoundHalfEven(2.4999999), 2);
  EXPECT_EQ(RoundHalfEven(-0.5), 0);
  EXPECT_EQ(RoundHalfEven(-1.5), -2);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
  EXPECT_EQ(RoundHalfEven(-2.6), -3);
  EXPECT_EQ(RoundHalfEven(2147483646.5), 2147483646);
  EXPECT_EQ(RoundHalfEven(2147483647.4), 2147483647);
  EXPECT_EQ(RoundHalfEven(-2147483648.4), -2147483647 - 1);
  EXPECT_EQ(RoundHalfEven(1e300), 2147483647);
  EXPECT_EQ(RoundHalfEven(-INFINITY), -2147483647 - 1);
  EXPECT_EQ(RoundHalfEven(INFINITY), 2147483647);
  EXPECT_EQ(RoundHalfEven(NAN), 0);
}

TEST(ValueFormat, CleanTextTrimsCutsAndUnquotes) {
  EXPECT_EQ(CleanText("  Canon \r\n\t"), "Canon");
  EXPECT_EQ(CleanText("\"0220\""), "0220");
  EXPECT_EQ(CleanText("\"\""), "");
  EXPECT_EQ(CleanText("\""), "\"");
  EXPECT_EQ(CleanText("a\x01" "b\x1F\x7F\xE9"), "ab\x7F\xE9");
  EXPECT_EQ(CleanText(std::string(100, 'x')), std::string(64, 'x'));
  // Quoted texts are made in place (concatenating them trips a false warning of GCC 12).
  std::string quoted(64, 'x');
  quoted.front() = quoted.back() = '"';
  EXPECT_EQ(CleanText(quoted), std::string(62, 'x'));
  // The quote test looks at the input at the result's length: a value cut at 64 characters,
  // or one that lost control characters, keeps its quotes.
  std::string longQuoted(72, 'x');
  longQuoted.front() = longQuoted.back() = '"';
  std::string keptQuote(64, 'x');
  keptQuote.front() = '"';
  EXPECT_EQ(CleanText(longQuoted), keptQuote);
  EXPECT_EQ(CleanText("\"ab\x01\""), "\"ab\"");
}

TEST(ValueFormat, ParseRationalText) {
  EXPECT_EQ(ParseRationalText("1/2"), 0.5);
  EXPECT_EQ(ParseRationalText(" 1975/100 "), 19.75);
  EXPECT_EQ(ParseRationalText("1 1/2"), 1.5);
  EXPECT_EQ(ParseRationalText("-1/4"), -0.25);
  EXPECT_EQ(ParseRationalText("2147483647/1"), 2147483647.0);
  for (const char* bad : {"", "5", "1/0", "a/2", "1/b", "x 1/2", "1/2/3", "1.5/2", "/2", "1/"}) {
    EXPECT_EQ(ParseRationalText(bad), 0) << bad;
  }
}

TEST(ValueFormat, ComponentLetters) {
  EXPECT_EQ(Decoded(DecodeComponents, "\"\x01\x02\x03\""), "YCbCr");
  EXPECT_EQ(Decoded(DecodeComponents, "\"\x04\x05\x06\x07\x01\""), "RGB");
  EXPECT_EQ(Decoded(DecodeComponents, "\"\x01"), "Y");
  EXPECT_EQ(Decoded(DecodeComponents, ""), "");
}

TEST(ValueFormat, ApexShutterSpeed) {
  for (const bool big : kByteOrders) {
    SCOPED_TRACE(big ? "big-endian" : "little-endian");
    const Values v(big);
    auto shown = [&](int32_t n, int32_t d) {
      return Shown(0x9201, kMainDirectory, v.Rationals({{n, d}}), kTypeSRational, big);
    };
    EXPECT_EQ(shown(8, 1), "0.0039 sec (1/256)");
    EXPECT_EQ(shown(5, 2), "0.1768 sec (1/6)");
    EXPECT_EQ(shown(1, 1), "0.5000 sec (1/2)");
    EXPECT_EQ(shown(0, 1), "1.0000 sec");
    EXPECT_EQ(shown(-1, 1), "2.0000 sec");
    EXPECT_EQ(shown(2147483647, 1), "0.0000 sec (1/2147483647)");
  }
}

TEST(ValueFormat, FlashBits) {
  for (const bool big : kByteOrders) {
    SCOPED_TRACE(big ? "big-endian" : "little-endian");
    const Values v(big);
    auto shown = [&](std::initializer_list<uint16_t> values) {
      return Shown(0x9209, kMainDirectory, v.Shorts(values), kTypeShort, big);
    };
    EXPECT_EQ(shown({0}), "Off");
    EXPECT_EQ(shown({16}), "Off, surpressed");
    EXPECT_EQ(shown({25}), "On, auto mode");
    EXPECT_EQ(shown({89}), "On, auto mode, red-eye reduction");
    EXPECT_EQ(shown({25, 0}), "On, auto mode");  // of several elements the first counts
  }
  EXPECT_EQ(Decoded(DecodeFlash, "2"), "Off, UNKNOWN");
  EXPECT_EQ(Decoded(DecodeFlash, "5"), "On, no strobe return");
  EXPECT_EQ(Decoded(DecodeFlash, "15"), "On, strobe return, forced");
  EXPECT_EQ(Decoded(DecodeFlash, "32"), "Off, no flash function");
  EXPECT_EQ(Decoded(DecodeFlash, " 1\n"), "On");
  EXPECT_EQ(Decoded(DecodeFlash, "\"fired\""), "fired");  // not a number: cleaned text
  EXPECT_EQ(Decoded(DecodeFlash, ""), "");
}

TEST(ValueFormat, UserCommentDropsTheCodePrefix) {
  EXPECT_EQ(Decoded(DecodeUserComment, std::string("ASCII\0\0\0Hello", 13)), "Hello");
  EXPECT_EQ(Decoded(DecodeUserComment, "UNICODE"), "");
  EXPECT_EQ(Decoded(DecodeUserComment, "12345678"), "");
}

TEST(ValueFormat, WindowsXpTextTakesTheLowBytes) {
  const std::string bytes("H\0i\0\xE9\0\0\x01!\0\0\0", 12);
  EXPECT_EQ(Shown(0x9C9B, kMainDirectory, bytes, kTypeByte, false), "Hi\xE9!");
  EXPECT_EQ(Shown(0x9C9F, kMainDirectory, bytes, kTypeByte, true), "Hi\xE9!");
  // The last item is left out even when it is a low byte.
  EXPECT_EQ(Decoded(DecodeXpText, "65, 0, 66"), "A");
  EXPECT_EQ(Decoded(DecodeXpText, "65"), "");
  EXPECT_EQ(Decoded(DecodeXpText, "x, 0, 322, 0, 0"), "B");
  // 128 bytes at most are shown, so 64 characters at most result.
  EXPECT_EQ(Shown(0x9C9C, kMainDirectory, std::string(300, 'a'), kTypeByte, false),
            std::string(64, 'a'));
}

TEST(ValueFormat, GpsCoordinateInEveryStyle) {
  GpsStyleGuard guard;
  EXPECT_EQ(GpsCoordinateStyle(), 0);
  for (const bool big : kByteOrders) {
    SCOPED_TRACE(big ? "big-endian" : "little-endian");
    const Values v(big);
    const std::string fractionalMinutes = v.Rationals({{59, 1}, {1975, 100}, {0, 1}});
    const std::string withSeconds = v.Rationals({{48, 1}, {51, 1}, {2964, 100}});
    auto shown = [&](const std::string& raw) {
      return Shown(0x0002, kGpsDirectory, raw, kTypeRational, big);
    };
    SetGpsCoordinateStyle(0);
    EXPECT_EQ(shown(fractionalMinutes), "59.329167");
    EXPECT_EQ(shown(withSeconds), "48.858233");
    SetGpsCoordinateStyle(1);
    EXPECT_EQ(shown(fractionalMinutes), "59.3292 Decimal Degrees");
    SetGpsCoordinateStyle(2);
    EXPECT_EQ(shown(fractionalMinutes), "59 Degrees 19.75 Minutes");
    EXPECT_EQ(shown(withSeconds), "48 Degrees 51.49 Minutes");
    SetGpsCoordinateStyle(3);
    EXPECT_EQ(shown(fractionalMinutes), "59 Degrees 19 Minutes 45 Seconds");
    EXPECT_EQ(shown(withSeconds), "48 Degrees 51 Minutes 30 Seconds");
    SetGpsCoordinateStyle(9);  // an unknown style shows decimal degrees
    EXPECT_EQ(shown(fractionalMinutes), "59.329167");
  }
  SetGpsCoordinateStyle(0);
  EXPECT_EQ(Decoded(DecodeGpsCoordinate, "12/1"), "12.000000");
  EXPECT_EQ(Decoded(DecodeGpsCoordinate, ""), "0.000000");
}

TEST(ValueFormat, GpsTime) {
  for (const bool big : kByteOrders) {
    const Values v(big);
    EXPECT_EQ(Shown(0x0007, kGpsDirectory, v.Rationals({{14, 1}, {5, 1}, {9, 1}}), kTypeRational,
                    big),
              "14:5:9");
    EXPECT_EQ(Shown(0x0007, kGpsDirectory, v.Rationals({{23, 1}, {5900, 100}, {4, 0}}),
                    kTypeRational, big),
              "23:59:0");
  }
  EXPECT_EQ(Decoded(DecodeGpsTime, "14/1"), "14:0:0");
}

TEST(ValueFormat, ExifDates) {
  EXPECT_EQ(ParseExifDate("2000:01:01 00:00:00"), 36526.0);
  EXPECT_EQ(ParseExifDate("1900:01:01 12:00:00"), 2.5);
  EXPECT_EQ(ParseExifDate("2010-06-05T18.00.00"), 40334.75);  // separators are not checked
  EXPECT_EQ(ParseExifDate("2012:02:29 23:59:59"),
            platform::EncodeDayCount({2012, 2, 29, 23, 59, 59}).value());
  EXPECT_EQ(ParseExifDate(std::string("2000:01:01 00:00:00\0", 20)), 36526.0);
  for (const char* bad : {"2010:13:01 00:00:00", "2010:02:29 00:00:00", "2010:01:01 24:00:00",
                          "2010:01:01 00:60:00", "0000:00:00 00:00:00", "2010:01:01 00:00:0",
                          "2010:1a:01 00:00:00", "2010:01:01 -1:00:00", "",
                          "    :  :     :  :  "}) {
    EXPECT_EQ(ParseExifDate(bad), 0) << bad;
  }
}

}  // namespace
}  // namespace pixmeta
