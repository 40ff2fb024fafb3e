#include "exif/image_info.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fixtures/lines.h"

#include "exif/tag_dictionary.h"
#include "exif_fixture.h"

namespace pixmeta::test {
namespace {

using ::testing::ElementsAre;

std::vector<std::string> Names(const TImageInfo& exif) {
  std::vector<std::string> names;
  for (const TTagEntry& e : exif.tags) names.emplace_back(e.name());
  return names;
}


// Every test of value texts runs on a little-endian and a big-endian block.
class ExifValues : public ::testing::TestWithParam<bool> {
 protected:
  TiffBuilder tiff_{GetParam()};
  int exif_ = tiff_.AddIfd();
  int gps_ = tiff_.AddIfd();
  // The pointers come last in IFD0, after the entries a test adds, as cameras sort them.
  std::unique_ptr<LoadedFile> Load() {
    TiffBuilder linked = tiff_;
    linked.Link(0, 0x8769, exif_).Link(0, 0x8825, gps_);
    return LoadedFile::Jpeg(linked);
  }
};

INSTANTIATE_TEST_SUITE_P(ByteOrder, ExifValues, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "MM" : "II"; });

TEST_P(ExifValues, RationalsWithAndWithoutPrintFormats) {
  tiff_.Rational(0, 0x011A, {{72, 1}})
      .Rational(exif_, 0x829A, {{1, 60}})
      .Rational(exif_, 0x829D, {{28, 10}})
      .Rational(exif_, 0x920A, {{58, 10}})
      .SRational(exif_, 0x9204, {{-1, 3}})
      .Rational(exif_, 0xA404, {{0, 0}});
  auto f = Load();
  EXPECT_EQ(f->Value("XResolution"), "72.00");
  EXPECT_EQ(f->Value("ExposureTime"), "1/60 sec");
  EXPECT_EQ(f->Value("FNumber"), "F2.8");
  // A value without a decoder is shown cleaned, so without the format's leading blank.
  EXPECT_EQ(f->Value("FocalLength"), "5.80 mm");
  EXPECT_EQ(f->Value("ExposureBiasValue"), "-1/3");
  EXPECT_EQ(f->Value("DigitalZoomRatio"), "0/0");
  EXPECT_DOUBLE_EQ(f->exif().GetNumber("FocalLength"), 5.8);
  EXPECT_DOUBLE_EQ(f->exif().GetNumber("DigitalZoomRatio"), 0.0);
}

TEST_P(ExifValues, CodedValuesMatchWholeValuesOnly) {
  tiff_.Short(0, 0x0112, {6})
      .Short(0, 0x0128, {2})
      .Short(exif_, 0x9208, {1})
      .Short(exif_, 0x8822, {10})
      .Short(exif_, 0xA403, {1});
  auto f = Load();
  EXPECT_EQ(f->Value("Orientation"), "CounterClockwise 90\xB0");
  EXPECT_EQ(f->Value("ResolutionUnit"), "Inch");
  EXPECT_EQ(f->Value("LightSource"), "Daylight");
  EXPECT_EQ(f->Value("ExposureProgram"), "");  // 10 is not listed
  EXPECT_EQ(f->Value("WhiteBalance"), "Manual");
  EXPECT_EQ(f->exif().GetInt("Orientation"), 6);
  // An entry without a listed value has an empty text and is left out of the name list.
  EXPECT_EQ(f->exif().LookupIndex("ExposureProgram") >= 0, true);
  for (const std::string_view line : NameValues(f->exif())) {
    EXPECT_FALSE(line.starts_with("ExposureProgram")) << line;
  }
}

TEST_P(ExifValues, FlashApexAndComponents) {
  tiff_.Short(exif_, 0x9209, {89})
      .SRational(exif_, 0x9201, {{8, 1}})
      .Undefined(exif_, 0x9101, std::string("\x01\x02\x03\x00", 4));
  auto f = Load();
  EXPECT_EQ(f->Value("Flash"), "On, auto mode, red-eye reduction");
  EXPECT_EQ(f->exif().flashValue, 89);
  EXPECT_EQ(f->Value("ShutterSpeedValue"), "0.0039 sec (1/256)");
  EXPECT_EQ(f->Value("ComponentsConfiguration"), "YCbCr");
}

TEST_P(ExifValues, GpsCoordinatesAndTime) {
  tiff_.Byte(gps_, 0x0000, {2, 2, 0, 0})
      .Ascii(gps_, 0x0001, "N")
      .Rational(gps_, 0x0002, {{59, 1}, {1975, 100}, {0, 1}})
      .Ascii(gps_, 0x0003, "E")
      .Rational(gps_, 0x0004, {{18, 1}, {4, 1}, {3, 1}})
      .Rational(gps_, 0x0006, {{125, 10}})
      .Rational(gps_, 0x0007, {{14, 1}, {5, 1}, {9, 1}})
      .Short(gps_, 0x001E, {1});
  auto f = Load();
  EXPECT_EQ(f->Value("GPSLatitude"), "59.329167");
  EXPECT_EQ(f->Value("GPSLongitude"), "18.067500");
  EXPECT_EQ(f->Value("GPSLatitudeRef"), "N");
  EXPECT_EQ(f->Value("GPSAltitude"), "12");
  EXPECT_EQ(f->Value("GPSTimeStamp"), "14:5:9");
  EXPECT_EQ(f->Value("GPSDifferential"), "1");
  // GPSVersionID has tag number 0 and is not kept.
  EXPECT_EQ(f->exif().LookupIndex("GPSVersionID"), -1);
}

TEST_P(ExifValues, TextsOfEveryKind) {
  std::string xp;
  for (const char c : std::string("Hi there")) xp += std::string{c, '\0'};
  xp += std::string(2, '\0');
  tiff_.Ascii(0, 0x010F, "Canon")
      .Raw(0, 0x0110, 2, 3, "EOS")  // no terminating zero: the last character stays
      .Raw(0, 0x9C9B, 1, static_cast<uint32_t>(xp.size()), xp)
      .Undefined(exif_, 0x9000, "0230")
      .Undefined(exif_, 0x9286, std::string("ASCII\0\0\0  my comment \0", 22))
      .Raw(exif_, 0x9203, 11, 1, std::string("\0\0\x80\x3F", 4));
  auto f = Load();
  EXPECT_EQ(f->Value("Make"), "Canon");
  EXPECT_EQ(f->Value("Model"), "EOS");
  EXPECT_EQ(f->exif().cameraMake, "Canon");
  EXPECT_EQ(f->exif().cameraModel, "EOS");
  EXPECT_EQ(f->Value("Title"), "Hi there");
  EXPECT_EQ(f->Value("ExifVersion"), "0230");
  EXPECT_EQ(f->exif().exifVersion, "0230");
  EXPECT_EQ(f->Value("UserComment"), "my comment");
  EXPECT_EQ(f->exif().userComment, "my comment");
  EXPECT_EQ(f->exif().userCommentLen, 22 - 9);
  EXPECT_EQ(f->Value("BrightnessValue"), "-9999.99");
}

TEST_P(ExifValues, LongArraysShowAtMost128Elements) {
  std::string bytes(300, '\x07');
  tiff_.Raw(exif_, 0xA40B, 1, 300, bytes);
  auto f = Load();
  const TTagEntry entry = f->exif().GetEntry("DeviceSettingDescription");
  // The display text is cut to 64 characters of the 128 formatted elements.
  std::string expected;
  for (int i = 0; i < 22; ++i) expected += "7, ";
  EXPECT_EQ(entry.text, expected.substr(0, 64));
  EXPECT_EQ(entry.size, 300);
  EXPECT_EQ(entry.raw, bytes);
}

TEST_P(ExifValues, DatesAndTheirPositions) {
  tiff_.Ascii(0, 0x0132, "2010:06:05 14:30:00")
      .Ascii(exif_, 0x9003, "2010:06:04 10:00:00")
      .Ascii(exif_, 0x9004, "2010:06:04 10:00:01");
  auto f = Load();
  TImageInfo& e = f->exif();
  EXPECT_EQ(e.dateTimeText, "2010:06:04 10:00:00");
  const std::string_view bytes = f->container().Slot(f->container().ExifSlot()).bytes;
  EXPECT_EQ(bytes.substr(static_cast<size_t>(e.dateTimePos - 1), 19), "2010:06:05 14:30:00");
  EXPECT_EQ(bytes.substr(static_cast<size_t>(e.dateTimeOriginalPos - 1), 19), "2010:06:04 10:00:00");
  EXPECT_EQ(bytes.substr(static_cast<size_t>(e.dateTimeDigitizedPos - 1), 19), "2010:06:04 10:00:01");
}

TEST_P(ExifValues, TheLastWidthEntryGivesTheDimensionAndItsPosition) {
  tiff_.Short(0, 0x0100, {640}).Short(0, 0x0101, {480});
  tiff_.Long(exif_, 0xA002, {1280}).Long(exif_, 0xA003, {960});
  auto f = Load();
  TImageInfo& e = f->exif();
  EXPECT_EQ(e.width, 1280);
  EXPECT_EQ(e.height, 960);
  EXPECT_EQ(BytesToInt(f->container().Slot(f->container().ExifSlot()).bytes.substr(e.widthPos - 1, 4),
                       GetParam()),
            1280u);
  EXPECT_EQ(f->Value("ImageWidth"), "640");
  EXPECT_EQ(f->Value("ExifImageWidth"), "1280");
}

TEST_P(ExifValues, ThirtyFiveMillimetreFocalLengthIsDerivedFromTheSensorSize) {
  tiff_.Long(0, 0x0100, {2048}).Long(0, 0x0101, {1536});
  tiff_.Rational(exif_, 0x920A, {{74, 10}})
      .Short(exif_, 0xA210, {2})
      .Rational(exif_, 0xA20E, {{3200, 1}})
      .Rational(exif_, 0xA20F, {{3200, 1}});
  auto f = Load();
  EXPECT_EQ(f->Value("FocalLengthin35mmFilm"), "15.76");
  const TTagEntry entry = f->exif().GetEntry("FocalLengthIn35mmFilm");
  EXPECT_EQ(entry.tag(), 0xA405);
  EXPECT_EQ(entry.dataType, kTypeSRational);
  EXPECT_EQ(entry.printFormat(), "%s mm");
  EXPECT_EQ(entry.raw, "");
}

TEST_P(ExifValues, NoDerivationWithoutSensorSizeOrWithTheTagPresent) {
  tiff_.Rational(exif_, 0x920A, {{74, 10}}).Short(exif_, 0xA210, {2});
  EXPECT_EQ(Load()->exif().LookupIndex("FocalLengthin35mmFilm"), -1);
  tiff_.Short(exif_, 0xA405, {35});
  tiff_.Long(0, 0x0100, {2048}).Rational(exif_, 0xA20E, {{3200, 1}});
  auto f = Load();
  EXPECT_EQ(f->Value("FocalLengthin35mmFilm"), "35.00 mm");
  const auto names = Names(f->exif());
  EXPECT_EQ(std::count(names.begin(), names.end(), "FocalLengthin35mmFilm"), 1);
}

TEST(ExifWalk, BothByteOrdersGiveTheSameTagList) {
  std::vector<std::string> lists[2];
  std::vector<uint32_t> offsets;
  for (const bool big : {false, true}) {
    TiffBuilder tiff(big);
    const int exif = tiff.AddIfd();
    const int interop = tiff.AddIfd();
    tiff.Ascii(0, 0x010F, "FUJIFILM").Short(0, 0x0112, {1}).Link(0, 0x8769, exif);
    tiff.Rational(exif, 0x829A, {{10, 1250}}).Link(exif, 0xA005, interop);
    tiff.Ascii(interop, 0x0001, "R98").Undefined(interop, 0x0002, "0100");
    lists[big] = Lines(NameValues(LoadedFile::Jpeg(tiff)->exif()));
    offsets = tiff.IfdOffsets();
  }
  EXPECT_EQ(lists[0], lists[1]);
  // A pointer's own entry follows the entries of the directory it leads to.
  EXPECT_THAT(lists[0],
              ElementsAre("Make=FUJIFILM", "Orientation=Normal", "ExposureTime=10/1250 sec",
                          "InteroperabilityIndex=R98", "InteroperabilityVersion=0100",
                          "InteroperabilityOffset=" + std::to_string(offsets[2]),
                          "ExifOffset=" + std::to_string(offsets[1])));
}

TEST(ExifWalk, AnIfd0OffsetOfZeroIsReadAsEight) {
  TiffBuilder tiff;
  tiff.Ascii(0, 0x010F, "Canon");
  std::string block = tiff.Build();
  block.replace(4, 4, std::string(4, '\0'));
  auto f = std::make_unique<LoadedFile>("a.jpg", JpegBuilder().Exif(block).Build());
  EXPECT_EQ(f->Value("Make"), "Canon");
}

TEST(ExifWalk, PointersBackToAWalkedDirectoryAreNotFollowed) {
  TiffBuilder tiff;
  const int exif = tiff.AddIfd();
  tiff.Ascii(0, 0x010F, "Canon").Link(0, 0x8769, exif);
  tiff.Rational(exif, 0x829A, {{1, 60}}).Link(exif, 0x8769, 0).Link(exif, 0xA005, exif);
  auto f = LoadedFile::Jpeg(tiff);
  EXPECT_THAT(Names(f->exif()),
              ElementsAre("Make", "ExposureTime", "ExifOffset", "InteroperabilityOffset", "ExifOffset"));
}

TEST(ExifWalk, AnOversizedDirectoryIsSkippedAndTheRestGoesOn) {
  TiffBuilder tiff;
  const int exif = tiff.AddIfd();
  const int gps = tiff.AddIfd();
  tiff.Ascii(0, 0x010F, "Canon").Link(0, 0x8769, exif).Link(0, 0x8825, gps);
  tiff.Rational(exif, 0x829A, {{1, 60}});
  tiff.Ascii(gps, 0x0001, "N");
  std::string block = tiff.Build();
  const uint32_t exifOffset = tiff.IfdOffsets()[1];
  block[exifOffset] = '\xFF';  // the Exif directory claims 0x..FF entries
  block[exifOffset + 1] = '\x7F';
  LoadedFile f("a.jpg", JpegBuilder().Exif(block).Build());
  EXPECT_THAT(Names(f.exif()), ElementsAre("Make", "ExifOffset", "GPSLatitudeRef", "GPSInfo"));
  // The load overwrites the walk's message, so the report still lists the tags.
  EXPECT_EQ(f.container().ErrorText(), "<none>");
  EXPECT_EQ(NameValues(f.exif()).Count(), 4u);
}

TEST(ExifWalk, OffsetsAndCountsOutsideTheBlockAreAbsentOrClamped) {
  TiffBuilder tiff;
  const int exif = tiff.AddIfd();
  tiff.Ascii(0, 0x010F, "Canon")
      .Raw(0, 0x010E, 2, 100, tiff.U32(0xFFFFFF00))   // value far outside the block
      .Raw(0, 0x0131, 2, 0xFFFFFFFF, tiff.U32(30))    // count far beyond the block
      .Raw(0, 0x013B, 2, 40, tiff.U32(0x7FFFFFFF))
      .Link(0, 0x8769, exif)
      .Raw(0, 0x8825, 4, 1, tiff.U32(0xFFFFFFF0))     // GPS directory outside the block
      .Raw(0, 0x9999, 99, 1, "x");                    // an unknown type has no value
  tiff.Rational(exif, 0x829A, {{1, 60}});
  auto f = LoadedFile::Jpeg(tiff);
  TImageInfo& e = f->exif();
  EXPECT_EQ(f->Value("Make"), "Canon");
  EXPECT_EQ(e.GetEntry("ImageDescription").raw, "");
  EXPECT_GT(e.GetEntry("Software").raw.size(), 0u);  // clamped to what the block holds
  EXPECT_EQ(f->Value("ExposureTime"), "1/60 sec");
  EXPECT_EQ(e.LookupIndex("GPSLatitudeRef"), -1);
}

TEST(ExifWalk, EntriesBeyondTheEndOfTheBlockAreAbsent) {
  TiffBuilder tiff;
  tiff.Ascii(0, 0x010F, "Canon").Short(0, 0x0112, {3});
  std::string block = tiff.Build();
  // Cut the block inside the second entry; the count still says two.
  block.resize(8 + 2 + 12 + 6);
  LoadedFile f("a.jpg", JpegBuilder().Exif(block).Build());
  EXPECT_THAT(Names(f.exif()), ElementsAre("Make"));
  EXPECT_EQ(f.Value("Make"), "");  // its value lay after the cut
}

TEST(ExifWalk, ThumbnailIsTheFirstMainDirectorysNextPointer) {
  TiffBuilder tiff;
  const int ifd1 = tiff.AddIfd();
  tiff.Ascii(0, 0x010F, "Canon").Next(0, ifd1);
  tiff.Short(ifd1, 0x0103, {6}).Thumbnail(ifd1, TinyJpeg(32, 24));
  const std::string block = tiff.Build();
  auto f = LoadedFile::Jpeg(tiff);
  TImageInfo& e = f->exif();
  EXPECT_EQ(e.thumbOffset, tiff.IfdOffsets()[1]);
  // base + block length - offset: 9 + (APP1 length - 6) - offset
  const int64_t app1Length = static_cast<int64_t>(block.size()) + 8;
  EXPECT_EQ(e.thumbLength, 9 + app1Length - 6 - e.thumbOffset);
  EXPECT_TRUE(f->container().HasThumbnail());
  // IFD1 itself is never walked.
  EXPECT_EQ(e.LookupIndex("Compression"), -1);

  TiffBuilder small;
  const int tiny = small.AddIfd();
  small.Ascii(0, 0x010F, "Canon").Next(0, tiny);
  small.Short(tiny, 0x0103, {6});
  EXPECT_FALSE(LoadedFile::Jpeg(small)->container().HasThumbnail());  // 256 bytes or fewer
}

TEST(ExifWalk, NameValueListNeedsALoadWithoutError) {
  TiffBuilder tiff;
  tiff.Ascii(0, 0x010F, "Canon").Short(0, 0x0112, {2});
  auto f = LoadedFile::Jpeg(tiff);
  EXPECT_THAT(Lines(NameValues(f->exif())), ElementsAre("Make=Canon"));
  EXPECT_THAT(Lines(ExifXmlOf(f->exif())),
              ElementsAre("   <EXIFdata>", "   <Make>", "      Canon", "   </Make>",
                          "   <Orientation>", "      ", "   </Orientation>", "   </EXIFdata>"));
  f->container().SetErrorText("Illegally sized directory");
  EXPECT_EQ(NameValues(f->exif()).Count(), 0u);
  EXPECT_EQ(ExifXmlOf(f->exif()).Count(), 8u);
}

TEST(ExifWalk, EntryLookupsIgnoreCase) {
  TiffBuilder tiff;
  tiff.Short(0, 0x0112, {3}).Rational(0, 0x011A, {{7, 2}});
  auto f = LoadedFile::Jpeg(tiff);
  TImageInfo& e = f->exif();
  EXPECT_EQ(e.LookupIndex("orientation"), 0);
  EXPECT_EQ(e.GetEntry("ORIENTATION").tag(), 0x0112);
  EXPECT_EQ(e.GetEntry("missing").tag(), 0);
  EXPECT_EQ(e.GetNumber("missing"), 0.0);
  EXPECT_EQ(e.GetInt("XResolution"), 4);  // 3.5 rounds to the even neighbour
  static const TagRow kSubField = [] {
    TagRow row;
    row.name = row.desc = "Sub_field";
    return row;
  }();
  e.AddTextEntry(kSubField, " 5", kTypeAscii);
  EXPECT_EQ(e.tags.back().id, 1);
  EXPECT_EQ(e.tags.back().tag(), 0);
  EXPECT_EQ(e.LookupValue("sub_FIELD"), " 5");
  static const TagRow kUntagged = [] {
    TagRow row;
    row.name = "x";
    return row;
  }();
  TTagEntry untagged;
  untagged.row = &kUntagged;
  const size_t before = e.tags.size();
  EXPECT_EQ(e.AddEntry(untagged), static_cast<int>(before) - 1);
  EXPECT_EQ(e.tags.size(), before);
}

TEST(ExifWalk, DirectoriesThatOverlapOneWalkedAreAbsent) {
  // IFD0 holds 64 ExifOffset entries and 320 ImageWidth entries. Each ExifOffset points
  // ten bytes into an ImageWidth entry, whose value bytes 00 01 then read as a count of
  // 256, so each would be a directory of 256 entries inside IFD0's own table.
  TiffBuilder tiff;
  constexpr uint32_t kPointers = 64;
  constexpr uint32_t kWidths = 320;
  const auto entryOffset = [](uint32_t e) { return 8 + 2 + 12 * e; };
  for (uint32_t k = 0; k < kPointers; ++k) {
    tiff.Raw(0, 0x8769, 4, 1, tiff.U32(entryOffset(kPointers + k) + 10));
  }
  for (uint32_t k = 0; k < kWidths; ++k) tiff.Raw(0, 0x0100, 4, 1, tiff.U32(0x01000000));
  const std::string block = tiff.Build();
  auto f = LoadedFile::Jpeg(tiff);
  EXPECT_EQ(f->exif().tags.size(), kPointers + kWidths);
  EXPECT_LE(f->exif().tags.size(), block.size() / 12);
}

TEST(ExifWalk, HostileBlocksStayBounded) {
  // Sixty directories chained through ExifOffset, each with a large value that overlaps
  // the whole block: the walk stops early and keeps only a bounded amount of raw bytes.
  TiffBuilder tiff;
  int previous = 0;
  for (int i = 0; i < 60; ++i) {
    const int next = tiff.AddIfd();
    tiff.Raw(previous, 0x010E, 7, 60000, tiff.U32(8)).Link(previous, 0x8769, next);
    previous = next;
  }
  auto f = LoadedFile::Jpeg(tiff);
  EXPECT_LE(f->exif().tags.size(), 2u * 17u);
}

}  // namespace
}  // namespace pixmeta::test
