#include "exif/tag_dictionary.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "exif/value_format.h"

namespace pixmeta {
namespace {

TEST(TagDictionary, TablesHaveTheirRowsInOrder) {
  const TagDictionary& d = InitDictionary();
  ASSERT_EQ(d.main.size(), 251u);
  ASSERT_EQ(d.gps.size(), 31u);
  EXPECT_EQ(d.main.front().tag, 0x0001);
  EXPECT_EQ(d.main.front().name, "InteroperabilityIndex");
  EXPECT_EQ(d.main[249].tag, 0xA420);
  EXPECT_EQ(d.main[249].name, "ImageUniqueID");
  EXPECT_EQ(d.main.back().tag, 0);
  EXPECT_EQ(d.main.back().name, "Unknown");
  EXPECT_EQ(d.main.back().desc, "Unknown");
  // Lookups by tag rely on ascending order.
  for (size_t i = 1; i < 250; ++i) EXPECT_LT(d.main[i - 1].tag, d.main[i].tag) << i;
  for (size_t i = 0; i < d.gps.size(); ++i) EXPECT_EQ(d.gps[i].tag, i);
  EXPECT_EQ(d.gps.front().name, "GPSVersionID");
  EXPECT_EQ(d.gps.back().name, "GPSDifferential");
  // Built once: every call hands out the same tables.
  EXPECT_EQ(&InitDictionary(), &d);
}

TEST(TagDictionary, NamesKeepTheirExactSpelling) {
  const std::map<uint16_t, std::string> samples = {
      {0x0122, "GrayReponseUnit"},       {0x0123, "GrayReponseCurve"},
      {0x0152, "ExtraSample"},           {0x0212, "YCbCrSubSampling"},
      {0x0303, "SRGBRenderingIntent"},   {0x502C, "ThumbnailStripBytesCount"},
      {0x5038, "ThumbnailYCbCrSubsampling"}, {0x503B, "ThumbnailCopyRight"},
      {0x80E3, "Matteing"},              {0x83BB, "IPTC/NAA"},
      {0x923F, "StoNits"},               {0xA405, "FocalLengthin35mmFilm"},
      {0x8298, "Copyright"},             {0x9C9F, "Subject"}};
  for (const auto& [tag, name] : samples) EXPECT_EQ(FindRowByTag(tag, kMainDirectory).name, name);
  EXPECT_EQ(FindRowByTag(0x0017, kGpsDirectory).name, "GPSDestBearingkRef");
  EXPECT_EQ(FindRowByTag(0x000B, kGpsDirectory).name, "GPSDOP");
}

TEST(TagDictionary, ThirteenNamesOccurTwice) {
  std::map<std::string, std::vector<uint16_t>> byName;
  for (const TagRow& row : InitDictionary().main) byName[std::string(row.name)].push_back(row.tag);
  std::map<std::string, std::vector<uint16_t>> twice;
  for (const auto& [name, tags] : byName) {
    if (tags.size() > 1) twice[name] = tags;
  }
  const std::map<std::string, std::vector<uint16_t>> expected = {
      {"CFAPattern", {0x828E, 0xA302}},
      {"FlashEnergy", {0x920B, 0xA20B}},
      {"SpatialFrequencyResponse", {0x920C, 0xA20C}},
      {"FocalPlaneXResolution", {0x920E, 0xA20E}},
      {"FocalPlaneYResolution", {0x920F, 0xA20F}},
      {"FocalPlaneResolutionUnit", {0x9210, 0xA210}},
      {"ImageNumber", {0x9211, 0xA211}},
      {"SecurityClassification", {0x9212, 0xA212}},
      {"ImageHistory", {0x9213, 0xA213}},
      {"SubjectLocation", {0x9214, 0xA214}},
      {"ExposureIndex", {0x9215, 0xA215}},
      {"TIFF/EPStandardID", {0x9216, 0xA216}},
      {"SensingMethod", {0x9217, 0xA217}}};
  EXPECT_EQ(twice, expected);
}

TEST(TagDictionary, DescriptionsAreGivenOrMadeFromTheName) {
  EXPECT_EQ(FindRowByTag(0x83BB, kMainDirectory).desc, "IPTC/NAA");
  EXPECT_EQ(FindRowByTag(0xA216, kMainDirectory).desc, "TIFF/EPStandardID");
  EXPECT_EQ(FindRowByTag(0x9216, kMainDirectory).desc, "TIFF/ EPStandard ID");
  EXPECT_EQ(FindRowByTag(0xA405, kMainDirectory).desc, "Focal Length in 35mm Film");
  EXPECT_EQ(FindRowByTag(0xA002, kMainDirectory).desc, "Exif Image Width");
  EXPECT_EQ(FindRowByTag(0x0001, kGpsDirectory).desc, "GPSLatitude Ref");
}

TEST(TagDictionary, CodesFormatsAndDecodersSitOnTheirRows) {
  EXPECT_EQ(FindRowByTag(0x0112, kMainDirectory).codes,
            "1:Normal,3:Rotated 180\xB0,6:CounterClockwise 90\xB0,8:Clockwise 90\xB0");
  EXPECT_EQ(FindRowByTag(0x0005, kGpsDirectory).codes, "0:Sealevel");
  EXPECT_EQ(FindRowByTag(0x9210, kMainDirectory).codes, FindRowByTag(0xA210, kMainDirectory).codes);

  std::map<std::pair<int, uint16_t>, std::string> formats;
  std::map<std::pair<int, uint16_t>, TagDecoder> decoders;
  int coded = 0;
  const TagDictionary& d = InitDictionary();
  for (const auto& [kind, rows] : {std::pair{1, &d.main}, std::pair{2, &d.gps}}) {
    for (const TagRow& row : *rows) {
      if (!row.printFormat.empty()) formats[{kind, row.tag}] = row.printFormat;
      if (row.decoder != nullptr) decoders[{kind, row.tag}] = row.decoder;
      if (!row.codes.empty()) ++coded;
    }
  }
  EXPECT_EQ(coded, 24);
  const std::map<std::pair<int, uint16_t>, std::string> expectedFormats = {
      {{1, 0x011A}, "%5.2f"},  {{1, 0x011B}, "%5.2f"},    {{1, 0x829A}, "%s sec"},
      {{1, 0x829D}, "F%0.1f"}, {{1, 0x9202}, "F%0.1f"},   {{1, 0x9205}, "F%0.1f"},
      {{1, 0x920A}, "%5.2f mm"}, {{1, 0xA405}, "%5.2f mm"}, {{2, 0x0006}, "%1.0f"},
      {{2, 0x0011}, "%1.0f"}};
  EXPECT_EQ(formats, expectedFormats);
  const std::map<std::pair<int, uint16_t>, TagDecoder> expectedDecoders = {
      {{1, 0x9101}, DecodeComponents},    {{1, 0x9201}, DecodeShutterSpeed},
      {{1, 0x9209}, DecodeFlash},         {{1, 0x9286}, DecodeUserComment},
      {{1, 0x9C9B}, DecodeXpText},        {{1, 0x9C9C}, DecodeXpText},
      {{1, 0x9C9D}, DecodeXpText},        {{1, 0x9C9E}, DecodeXpText},
      {{1, 0x9C9F}, DecodeXpText},        {{2, 0x0002}, DecodeGpsCoordinate},
      {{2, 0x0004}, DecodeGpsCoordinate}, {{2, 0x0014}, DecodeGpsCoordinate},
      {{2, 0x0016}, DecodeGpsCoordinate}, {{2, 0x0007}, DecodeGpsTime}};
  EXPECT_EQ(decoders, expectedDecoders);
}

TEST(TagDictionary, FindRowByTagFindsEveryRowAndFallsBackToUnknown) {
  const TagDictionary& d = InitDictionary();
  for (size_t i = 0; i < 250; ++i) {
    EXPECT_EQ(&FindRowByTag(d.main[i].tag, kMainDirectory), &d.main[i]) << d.main[i].name;
  }
  for (const TagRow& row : d.gps) EXPECT_EQ(&FindRowByTag(row.tag, kGpsDirectory), &row);
  EXPECT_EQ(FindRowByTag(0x001E, kGpsDirectory).name, "GPSDifferential");
  EXPECT_EQ(FindRowByTag(0x0000, kGpsDirectory).name, "GPSVersionID");
  for (const auto& [tag, kind] : {std::pair<uint16_t, int>{0x0099, kGpsDirectory},
                                  {0x0112, kGpsDirectory},
                                  {0x0000, kMainDirectory},
                                  {0x0003, kMainDirectory},
                                  {0xA421, kMainDirectory},
                                  {0xFFFF, kMainDirectory},
                                  {0x0112, 0},
                                  {0x0001, 3}}) {
    const TagRow& row = FindRowByTag(tag, kind);
    EXPECT_EQ(row.name, "Unknown") << tag << " " << kind;
    EXPECT_EQ(row.tag, 0);
  }
}

TEST(TagDictionary, FindRowByNameIgnoresCaseAndTakesTheFirstRow) {
  const TagDictionary& d = InitDictionary();
  auto tagOf = [&d](std::string_view name) {
    const int i = FindRowByName(name);
    return i < 0 ? -1 : static_cast<int>(d.main[static_cast<size_t>(i)].tag);
  };
  EXPECT_EQ(tagOf("focallengthin35mmfilm"), 0xA405);
  EXPECT_EQ(tagOf("FocalLengthIn35mmFilm"), 0xA405);
  EXPECT_EQ(tagOf("FocalPlaneXResolution"), 0x920E);
  EXPECT_EQ(tagOf("CFAPATTERN"), 0x828E);
  EXPECT_EQ(FindRowByName("InteroperabilityIndex"), 0);
  EXPECT_EQ(FindRowByName("Unknown"), -1);  // the fallback row is not a lookup target
  EXPECT_EQ(FindRowByName("GPSLatitude"), -1);
  EXPECT_EQ(FindRowByName("Orientation "), -1);
  EXPECT_EQ(FindRowByName(""), -1);
}

TEST(TagDictionary, MakerTableLookups) {
  std::vector<TagRow> table(4);
  table[0].tag = 7;
  table[1].tag = 9;
  table[1].codes = "1:first";
  table[2].tag = 9;
  table[2].codes = "1:second";
  table[3].tag = 7;
  EXPECT_EQ(FindTableIndex(9, table), 1);
  EXPECT_EQ(FindTableIndex(7, table), 0);
  EXPECT_EQ(FindTableIndex(8, table), -1);
  EXPECT_EQ(FindTableCodes(9, table), "1:second");
  EXPECT_EQ(FindTableCodes(7, table), "");
  EXPECT_EQ(FindTableCodes(8, table), "");
  EXPECT_EQ(FindTableIndex(7, {}), -1);
}

TEST(TagDictionary, DecodeCodeMatchesWholeValuesOnly) {
  const std::string_view light = FindRowByTag(0x9208, kMainDirectory).codes;
  EXPECT_EQ(DecodeCode(light, "1"), "Daylight");
  EXPECT_EQ(DecodeCode(light, "10"), "Flash");
  EXPECT_EQ(DecodeCode(light, "17"), "Std A");
  EXPECT_EQ(DecodeCode(light, "0"), "Unidentified");  // first pair
  EXPECT_EQ(DecodeCode(light, "19"), "Std C");        // last pair
  EXPECT_EQ(DecodeCode(light, " 3 "), "Tungsten");
  EXPECT_EQ(DecodeCode(light, "7"), "");
  EXPECT_EQ(DecodeCode(light, ""), "");
  const std::string_view orientation = FindRowByTag(0x0112, kMainDirectory).codes;
  EXPECT_EQ(DecodeCode(orientation, "6"), "CounterClockwise 90\xB0");
  EXPECT_EQ(DecodeCode(orientation, "2"), "");
  EXPECT_EQ(DecodeCode(FindRowByTag(0x0106, kMainDirectory).codes, "2"), "RGB");
  EXPECT_EQ(DecodeCode("", "1"), "");
  EXPECT_EQ(DecodeCode("5:x:y,6:z", "5"), "x:y");
  EXPECT_EQ(DecodeCode("12:a,2:b", "2"), "b");
}

TEST(TagDictionary, SplitNameInsertsBlanksBeforeWords) {
  EXPECT_EQ(SplitName("ExifImageWidth"), "Exif Image Width");
  EXPECT_EQ(SplitName("GPSLatitudeRef"), "GPSLatitude Ref");
  EXPECT_EQ(SplitName("ISOSpeedRatings"), "ISOSpeed Ratings");
  EXPECT_EQ(SplitName("T4Options"), "T4 Options");
  EXPECT_EQ(SplitName("XResolution"), "XResolution");
  EXPECT_EQ(SplitName("aB"), "aB");  // the first character leaves the flag set
  EXPECT_EQ(SplitName("x"), "x");
  EXPECT_EQ(SplitName(""), "");
}

}  // namespace
}  // namespace pixmeta
