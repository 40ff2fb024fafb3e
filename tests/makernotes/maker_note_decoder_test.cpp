#include "makernotes/maker_note_decoder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "exif/exif_fixture.h"
#include "fixtures/maker_note_builder.h"

namespace pixmeta::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;
using Layout = MakerNoteBuilder::Layout;

constexpr uint16_t kTagMake = 0x010F;
constexpr uint16_t kTagModel = 0x0110;
constexpr uint16_t kTagExifOffset = 0x8769;
constexpr uint16_t kTagExifVersion = 0x9000;
constexpr uint16_t kTagExifImageWidth = 0xA002;

struct Camera {
  std::string make;
  std::string model = "Model";
  std::string exifVersion = "0220";
  bool bigEndian = false;
};

// A block with the camera's make, model and version and the maker note in its Exif
// directory, followed by an entry that must still be read in the block's byte order.
TiffBuilder Block(const Camera& camera, const MakerNoteBuilder& note) {
  TiffBuilder tiff(camera.bigEndian);
  const int exif = tiff.AddIfd();
  tiff.Ascii(0, kTagMake, camera.make)
      .Ascii(0, kTagModel, camera.model)
      .Link(0, kTagExifOffset, exif);
  if (!camera.exifVersion.empty()) tiff.Undefined(exif, kTagExifVersion, camera.exifVersion);
  note.AddTo(tiff, exif);
  tiff.Long(exif, kTagExifImageWidth, {3648});
  return tiff;
}

std::unique_ptr<LoadedFile> Load(const Camera& camera, const MakerNoteBuilder& note) {
  return LoadedFile::Jpeg(Block(camera, note), &ReadMakerNote);
}

// The entries the maker note added, as name=value.
std::vector<std::string> MakerLines(const TImageInfo& exif) {
  std::vector<std::string> lines;
  for (const TTagEntry& e : exif.tags) {
    if (e.id == 1) lines.push_back(std::string(e.name()) + "=" + e.text);
  }
  return lines;
}

// Each maker's note built in its own layout, with in-line and out-of-line values, as a JPEG
// of either byte order.
class MakerNoteLayouts : public ::testing::TestWithParam<bool> {
 protected:
  std::vector<std::string> Decode(Camera camera, const MakerNoteBuilder& note) {
    camera.bigEndian = GetParam();
    auto f = Load(camera, note);
    EXPECT_TRUE(f->exif().makerNoteKnown);
    EXPECT_EQ(f->exif().width, 3648);  // the walk left the block's reader and byte order
    EXPECT_EQ(f->exif().bigEndian, GetParam());
    return MakerLines(f->exif());
  }
};

INSTANTIATE_TEST_SUITE_P(MakerNoteByteOrder, MakerNoteLayouts, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "MM" : "II"; });

TEST_P(MakerNoteLayouts, NikonWithANewerExifVersionHasItsOwnTiffHeader) {
  const auto note = MakerNoteBuilder(Layout::kNikonType3)
                        .Undefined(0x0001, "0210")
                        .Short(0x0002, {0, 200})
                        .Ascii(0x0004, "FINE")
                        .Short(0x000A, {1})
                        .Rational(0x0084, {{24, 1}, {120, 1}, {28, 10}, {45, 10}})
                        .Ascii(0x008D, "MODE2")
                        .Long(0x0F00, {1, 2});
  EXPECT_THAT(
      Decode({.make = "NIKON CORPORATION", .exifVersion = "0220"}, note),
      ElementsAre("FamilyID=0210", "ISOSpeed=0, 200", "Quality=FINE",
                  "LensInformation=24.0-120.0(mm)  F2.8-F4.5", "ColorMode=Mode 2 (Adobe RGB)"));
}

TEST_P(MakerNoteLayouts, OlderNikonWithNikonHeaderUsesTheFirstTable) {
  const auto note = MakerNoteBuilder(Layout::kNikonType1)
                        .Ascii(0x0002, "NIKON E990")
                        .Short(0x0003, {4})
                        .Short(0x0007, {5})
                        .Short(0x0009, {1})
                        .Rational(0x000A, {{0, 100}});
  EXPECT_THAT(Decode({.make = "NIKON", .exifVersion = "0210"}, note),
              ElementsAre("FamilyID=NIKON E990", "Quality=SXGA Basic", "WhiteBalance=Cloudy",
                          "DigitalZoom=0/100"));
}

TEST_P(MakerNoteLayouts, OlderNikonWithoutHeaderUsesTheSecondTableAtByteZero) {
  const auto note = MakerNoteBuilder(Layout::kNikonBare)
                        .Short(0x0002, {0, 100})
                        .Ascii(0x0007, "AF-S  ")
                        .Short(0x0010, {1});
  // Texts are trimmed before their quotes go, so blanks inside the value stay.
  EXPECT_THAT(Decode({.make = "Nikon", .exifVersion = "0200"}, note),
              ElementsAre("ISOSpeed=0, 100", "FocusMode=AF-S  "));
}

TEST_P(MakerNoteLayouts, NikonInAnyLetterCase) {
  const auto note = MakerNoteBuilder(Layout::kNikonType3).Short(0x0002, {0, 400});
  EXPECT_THAT(Decode({.make = "nIkOn corporation", .exifVersion = "0221"}, note),
              ElementsAre("ISOSpeed=0, 400"));
}

TEST_P(MakerNoteLayouts, Olympus) {
  const auto note = MakerNoteBuilder(Layout::kOlympus)
                        .Short(0x0201, {3})
                        .Short(0x0202, {1})
                        .Short(0x0203, {0})
                        .Rational(0x0204, {{100, 100}})
                        .Ascii(0x0207, "SX751");
  EXPECT_THAT(Decode({.make = "OLYMPUS OPTICAL CO.,LTD"}, note),
              ElementsAre("JpegQual=SHQ", "Macro=Macro", "DigiZoom=100/100", "Firmware=SX751"));
}

TEST_P(MakerNoteLayouts, CasioWithQvcHeader) {
  const auto note = MakerNoteBuilder(Layout::kCasioQvc)
                        .Short(0x0008, {2})
                        .Long(0x2022, {1500})
                        .Short(0x2013, {4})
                        .Short(0x2012, {1})
                        .Ascii(0x3006, "CET+1");
  EXPECT_THAT(Decode({.make = "CASIO COMPUTER CO.,LTD."}, note),
              ElementsAre("Quality=Super Fine", "ObjectDistance=1500", "WhiteBalance=Auto",
                          "TimeZone=CET+1"));
}

TEST_P(MakerNoteLayouts, CasioWithoutHeader) {
  const auto note = MakerNoteBuilder(Layout::kCasioBare)
                        .Short(0x0001, {5})
                        .Ascii(0x0006, "2.4 m")
                        .Short(0x0008, {1})
                        .Long(0x000A, {65537})
                        .Short(0x0014, {100});
  EXPECT_THAT(Decode({.make = "CASIO"}, note),
              ElementsAre("RecordingMode=Landscape", "ObjectDistance=2.4 m",
                          "DigitalZoom=2X Digital Zoom", "CCDSensitivity=High"));
}

TEST_P(MakerNoteLayouts, FujiIsLittleEndianInAnyBlock) {
  const auto note = MakerNoteBuilder(Layout::kFuji)
                        .Undefined(0x0000, "0130")
                        .Ascii(0x1000, "NORMAL ")
                        .Short(0x1001, {3})
                        .Short(0x1002, {256})
                        .Long(0x1031, {512})
                        .Short(0x1032, {0});
  EXPECT_THAT(Decode({.make = "FUJIFILM"}, note),
              ElementsAre("Version=0130", "Quality=NORMAL ", "Sharpness=Normal",
                          "WhiteBalance=Daylight", "PictureMode=Shutter prior AE"));
}

TEST_P(MakerNoteLayouts, CanonExpandsItsArrays) {
  const auto note = MakerNoteBuilder(Layout::kCanon)
                        .Short(0x0000, {0, 0, 0})
                        .Short(0x0001, {8, 1, 0, 3})
                        .Ascii(0x0006, "IMG:EOS 20D JPEG")
                        .Long(0x0008, {1001234})
                        .Short(0x000F, {4, 257});
  EXPECT_THAT(Decode({.make = "Canon"}, note),
              ElementsAre("Macro_mode=Macro", "Self_Timer= 0", "Compression_Rate=Basic",
                          "ExposureInfo1=8, 1, 0, 3", "ImageType=IMG:EOS 20D JPEG",
                          "ImageNumber=1001234", "Noise_Reduction= On", "CustomFunctions=4, 257"));
}

TEST_P(MakerNoteLayouts, SeikoSanyoAndMinolta) {
  EXPECT_THAT(Decode({.make = "SEIKO EPSON CORP."}, MakerNoteBuilder(Layout::kSeiko)
                                                        .Short(0x0201, {2})
                                                        .Ascii(0x020A, "Seaside walk")
                                                        .Short(0x0300, {1})
                                                        .Short(0x0F00, {1})),
              ElementsAre("JpegQuality=2", "Comments=Seaside walk", "?\?=1"));
  EXPECT_THAT(Decode({.make = "SANYO Electric Co.,Ltd."}, MakerNoteBuilder(Layout::kSanyo)
                                                              .Short(0x0203, {1})
                                                              .Rational(0x0204, {{2, 1}})
                                                              .Undefined(0x0F00, "dump data")),
              ElementsAre("DigiZoom=2/1", "DataDump=dump data"));
  EXPECT_THAT(Decode({.make = "Minolta Co., Ltd."}, MakerNoteBuilder(Layout::kMinolta)
                                                        .Undefined(0x0000, "MLY0")
                                                        .Undefined(0x0E00, "PrintIM 0300")),
              ElementsAre("ModelID=MLY0", "PIMdata=PrintIM 0300"));
}

TEST(MakerNoteChoice, EmptyVersionModelDAndTiffSourceMakeANewerNikon) {
  const auto note = MakerNoteBuilder(Layout::kNikonType3).Short(0x0002, {0, 800});
  const Camera camera{.make = "NIKON CORPORATION", .model = "NIKON D70", .exifVersion = ""};
  LoadedFile nef("a.nef", Block(camera, note).Build(), &ReadMakerNote);
  EXPECT_THAT(MakerLines(nef.exif()), ElementsAre("ISOSpeed=0, 800"));
  // In a JPEG the same note is taken for the older header and its directory is not found.
  auto jpeg = Load(camera, note);
  EXPECT_TRUE(jpeg->exif().makerNoteKnown);
  EXPECT_THAT(MakerLines(jpeg->exif()), IsEmpty());
}

TEST(MakerNoteChoice, VersionIsComparedAsText) {
  const auto note = MakerNoteBuilder(Layout::kNikonType3).Short(0x0002, {0, 800});
  for (const char* version : {"0210", "0200", "021"}) {
    auto f = Load({.make = "NIKON", .exifVersion = version}, note);
    EXPECT_THAT(MakerLines(f->exif()), Not(Contains("ISOSpeed=0, 800"))) << version;
  }
  for (const char* version : {"0211", "0220", "02100", "1"}) {
    auto f = Load({.make = "NIKON", .exifVersion = version}, note);
    EXPECT_THAT(MakerLines(f->exif()), ElementsAre("ISOSpeed=0, 800")) << version;
  }
}

TEST(MakerNoteChoice, TheNikonHeaderTestCountsLetterCase) {
  const auto walk = [](std::string_view header) {
    std::string note = MakerNoteBuilder(Layout::kNikonType1).Short(0x0003, {4}).Build(0, false);
    note.replace(0, header.size(), header);
    TiffBuilder tiff;
    const int exif = tiff.AddIfd();
    tiff.Ascii(0, kTagMake, "NIKON").Link(0, kTagExifOffset, exif);
    tiff.Undefined(exif, kTagExifVersion, "0200").Undefined(exif, 0x927C, note);
    return LoadedFile::Jpeg(tiff, &ReadMakerNote);
  };
  EXPECT_THAT(MakerLines(walk("Nikon")->exif()), ElementsAre("Quality=SXGA Basic"));
  // "NIKON" is not "Nikon": the note is taken for a bare directory, whose count "NI" is
  // far more than the note holds.
  auto f = walk("NIKON");
  EXPECT_THAT(MakerLines(f->exif()), Not(Contains("Quality=SXGA Basic")));
  f->container().SetErrorText("");
  ReadMakerNote(f->exif());
  EXPECT_EQ(f->container().ErrorText(), "Error Detected = maker-note entry outside the maker note");
}

TEST(MakerNoteChoice, AnUnknownMakerAddsNothing) {
  const auto note = MakerNoteBuilder(Layout::kCanon).Ascii(0x0006, "IMG:PENTAX JPEG");
  auto f = Load({.make = "PENTAX Corporation"}, note);
  EXPECT_FALSE(f->exif().makerNoteKnown);
  EXPECT_THAT(MakerLines(f->exif()), IsEmpty());
  EXPECT_FALSE(ReadMakerNote(f->exif()));
  auto known = Load({.make = "Canon"}, note);
  EXPECT_TRUE(ReadMakerNote(known->exif()));
}

// The offset of text inside a built block.
uint32_t OffsetOf(const std::string& block, std::string_view text) {
  const size_t at = block.find(text);
  EXPECT_NE(at, std::string::npos);
  return static_cast<uint32_t>(at);
}

TEST(MakerNoteChoice, ValuesOutsideTheNoteAreReadFromTheExifBlock) {
  // Canon's note points at the model text in IFD0, counting from the TIFF header.
  const Camera camera{.make = "Canon", .model = "Canon EOS 20D"};
  const auto withOwner = [&](uint32_t offset) {
    return Block(camera, MakerNoteBuilder(Layout::kCanon).Pointer(0x0009, 2, 14, offset));
  };
  const uint32_t model = OffsetOf(withOwner(0).Build(), "Canon EOS 20D");
  const TiffBuilder tiff = withOwner(model);
  auto jpeg = LoadedFile::Jpeg(tiff, &ReadMakerNote);
  EXPECT_THAT(MakerLines(jpeg->exif()), ElementsAre("OwnerName=Canon EOS 20D"));
  LoadedFile tif("a.tif", tiff.Build(), &ReadMakerNote);
  EXPECT_THAT(MakerLines(tif.exif()), ElementsAre("OwnerName=Canon EOS 20D"));
}

// Malformed maker notes stop their walk with an error and never read outside a buffer.
class MakerNoteMalformed : public ::testing::Test {
 protected:
  // The error text of a second walk over the loaded block, and the entries of the first.
  std::string Walk(const TiffBuilder& tiff) {
    file_ = LoadedFile::Jpeg(tiff, &ReadMakerNote);
    lines_ = MakerLines(file_->exif());
    EXPECT_EQ(file_->exif().width, 3648);  // the rest of the block is read as usual
    file_->container().SetErrorText("");
    ReadMakerNote(file_->exif());
    return file_->container().ErrorText();
  }
  std::unique_ptr<LoadedFile> file_;
  std::vector<std::string> lines_;
};

TEST_F(MakerNoteMalformed, ACountBeyondTheNote) {
  const auto note = MakerNoteBuilder(Layout::kCanon)
                        .Ascii(0x0006, "IMG:EOS 20D JPEG")
                        .Long(0x0008, {42})
                        .ClaimCount(40);
  EXPECT_EQ(Walk(Block({.make = "Canon"}, note)),
            "Error Detected = maker-note entry outside the maker note");
  EXPECT_THAT(lines_, ElementsAre("ImageType=IMG:EOS 20D JPEG", "ImageNumber=42"));
}

TEST_F(MakerNoteMalformed, AValueFarOutsideTheBlockIsEmptyAndTheWalkGoesOn) {
  const auto note = MakerNoteBuilder(Layout::kCanon)
                        .Long(0x0008, {42})
                        .Pointer(0x0006, 2, 20, 0x7FFFFF00)
                        .Long(0x000C, {7});
  EXPECT_EQ(Walk(Block({.make = "Canon"}, note)), "");
  EXPECT_THAT(lines_, ElementsAre("ImageNumber=42", "ImageType=", "CameraSerialNumber=7"));
  EXPECT_EQ(file_->exif().GetEntry("ImageType").raw, "");
}

TEST_F(MakerNoteMalformed, ValuesThatRunPastTheBlockAreCut) {
  // Starts inside the note but is far too long for it and for the block: what the block
  // holds from the value's place on is taken.
  const auto huge = MakerNoteBuilder(Layout::kCanon).Pointer(0x0008, 4, 0x40000000, 0).Long(0x000C, {7});
  EXPECT_EQ(Walk(Block({.make = "Canon"}, huge)), "");
  ASSERT_EQ(lines_.size(), 2u);
  EXPECT_EQ(lines_[1], "CameraSerialNumber=7");
  const TTagEntry number = file_->exif().GetEntry("ImageNumber");
  EXPECT_GT(number.raw.size(), 0u);
  EXPECT_LT(number.raw.size(), 4096u);
  // Fuji counts from the note's first byte; this offset lies past the note and the block.
  const auto fuji = MakerNoteBuilder(Layout::kFuji).Pointer(0x1000, 2, 8, 0xFFFF).Short(0x1001, {3});
  EXPECT_EQ(Walk(Block({.make = "FUJIFILM"}, fuji)), "");
  EXPECT_THAT(lines_, ElementsAre("Quality=", "Sharpness=Normal"));
}

TEST_F(MakerNoteMalformed, AnEntryCutOffByTheEndOfTheNote) {
  // One in-line value whose field the note's end cuts in half.
  const std::string whole = MakerNoteBuilder(Layout::kCanon).Short(0x0008, {42}).Build(0, false);
  TiffBuilder tiff;
  const int exif = tiff.AddIfd();
  tiff.Ascii(0, kTagMake, "Canon").Link(0, kTagExifOffset, exif);
  tiff.Undefined(exif, 0x927C, whole.substr(0, 2 + 12 - 2)).Long(exif, kTagExifImageWidth, {3648});
  EXPECT_EQ(Walk(tiff), "Error Detected = maker-note entry outside the maker note");
  EXPECT_THAT(lines_, IsEmpty());
}

TEST_F(MakerNoteMalformed, NotesShorterThanTheirHeader) {
  for (const auto& [make, note] :
       {std::pair{"NIKON", std::string("Nikon\0\x02\x10\0\0MM\0\x2A", 14)},
        std::pair{"FUJIFILM", std::string("FUJIFILM\x0C\0\0\0", 12)},
        std::pair{"OLYMPUS", std::string("OLYMP\0\x01", 7)}}) {
    TiffBuilder tiff;
    const int exif = tiff.AddIfd();
    tiff.Ascii(0, kTagMake, make).Link(0, kTagExifOffset, exif);
    tiff.Undefined(exif, kTagExifVersion, "0221")
        .Undefined(exif, 0x927C, note)
        .Long(exif, kTagExifImageWidth, {3648});
    EXPECT_EQ(Walk(tiff), "Error Detected = maker note shorter than its directory") << make;
    EXPECT_THAT(lines_, IsEmpty());
  }
}

}  // namespace
}  // namespace pixmeta::test
