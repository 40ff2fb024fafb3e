// The report of a set of fixed photos, compared byte for byte with recorded golden files:
// every maker-note layout, both byte orders, TIFF-family files, IPTC, every value type and
// some damaged blocks. Run with PIXMETA_UPDATE_GOLDEN=1 to record them again after an
// intended change of the report.
#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "fixtures/bench_photo.h"
#include "fixtures/cli_runner.h"
#include "fixtures/iptc_builder.h"
#include "fixtures/jpeg_builder.h"
#include "fixtures/maker_note_builder.h"
#include "fixtures/sample_photos.h"
#include "fixtures/tiff_builder.h"

namespace pixmeta::test {
namespace {

using Layout = MakerNoteBuilder::Layout;

// A block with a camera's make and model, its maker note in the Exif directory and a few
// common tags around it.
std::string CameraBlock(bool bigEndian, std::string_view make, std::string_view model,
                        std::string_view version, const MakerNoteBuilder& note) {
  TiffBuilder tiff(bigEndian);
  const int exif = tiff.AddIfd();
  tiff.Ascii(0, 0x010F, make)
      .Ascii(0, 0x0110, model)
      .Short(0, 0x0112, {8})
      .Ascii(0, 0x0132, "2009:02:28 23:59:59")
      .Link(0, 0x8769, exif);
  tiff.Rational(exif, 0x829A, {{1, 125}}).Undefined(exif, 0x9000, version);
  note.AddTo(tiff, exif);
  tiff.Long(exif, 0xA002, {2048}).Long(exif, 0xA003, {1536});
  return tiff.Build();
}

std::string Jpeg(const std::string& tiff) { return JpegBuilder(24, 16).Exif(tiff).Build(); }

// Every TIFF data type, coded and formatted values, texts with control characters and
// quotes, Windows XP texts and tags the dictionary does not know.
std::string ValueTypesBlock() {
  TiffBuilder tiff(true);
  const int exif = tiff.AddIfd();
  const std::string xpTitle("T\0o\0w\0e\0r\0\0\0", 12);
  tiff.Ascii(0, 0x010E, "  \"Quoted\" title\twith tab  ")
      .Ascii(0, 0x010F, "Generic")
      .Raw(0, 0x0110, 2, 5, "NoZer")
      .Short(0, 0x0103, {7})
      .Byte(0, 0x0102, {8, 8, 8})
      .Raw(0, 0x0115, 6, 2, "\xFE\x01")
      .Raw(0, 0x011E, 8, 1, std::string("\xFF\xF0\0\0", 4))
      .Raw(0, 0x011F, 9, 1, "\xFF\xFF\xFF\x9C")
      .Raw(0, 0x0118, 11, 1, "\x3F\x80\0\0")
      .Raw(0, 0x0119, 12, 1, std::string("\x40\x09\x21\xFB\x54\x44\x2D\x18", 8))
      .Raw(0, 0x9C9B, 1, 12, xpTitle)
      .Short(0, 0x0128, {9})
      .Short(0, 0x1234, {42})
      .Link(0, 0x8769, exif);
  tiff.Rational(exif, 0x829D, {{28, 10}})
      .SRational(exif, 0x9201, {{-3, 1}})
      .SRational(exif, 0x9204, {{2, 3}})
      .Rational(exif, 0x9202, {{0, 0}})
      .Short(exif, 0x9207, {255})
      .Short(exif, 0x9208, {17})
      .Short(exif, 0x9209, {0x59})
      .Undefined(exif, 0x9286, std::string("UNICODE\0h\0i\0", 12))
      .Undefined(exif, 0xA300, "\x03")
      .Undefined(exif, 0xA301, "\x01")
      .Rational(exif, 0xA404, {{3, 2}})
      .Short(exif, 0xA405, {0})
      .Short(exif, 0xA408, {2});
  return tiff.Build();
}

// An IPTC block with custom and record 8 data sets, repeated categories and keywords with
// blanks, and no EXIF.
std::string IptcOnlyPhoto() {
  IptcBuilder iptc;
  iptc.Add(2, 0, std::string("\0\x04", 2))
      .Add(2, 105, "Headline with <angle> & ampersand")
      .Add(2, 15, "TRV")
      .Add(2, 20, "Holiday")
      .Add(2, 20, "Sea side")
      .Keywords({"one", "two words", "three"})
      .Add(2, 200, "custom data set")
      .Add(8, 10, "record eight")
      .Add(2, 55, "20090228")
      .Add(2, 80, "Photographer \xE9t\xE9");
  return JpegBuilder(20, 20).Add(0xED, iptc.Payload()).Comment("Line one\r\nLine two").Build();
}

struct GoldenCase {
  const char* name;  // also the golden file's name, with ".txt"
  std::function<std::vector<std::pair<std::string, std::string>>()> files;
  std::vector<std::string> args;
};

std::vector<GoldenCase> Cases() {
  const auto one = [](std::string name, std::function<std::string()> make) {
    return [name, make] { return std::vector<std::pair<std::string, std::string>>{{name, make()}}; };
  };
  return {
      {"samples", [] {
         return std::vector<std::pair<std::string, std::string>>{
             {"harbour.jpg", HarbourPhoto()}, {"meadow.jpg", MeadowPhoto()}, {"scan.jpg", ScanPhoto()}};
       }, {"-q", "-s", "harbour.jpg", "meadow.jpg", "scan.jpg"}},
      {"samples_noxml_ori", [] {
         return std::vector<std::pair<std::string, std::string>>{
             {"harbour.jpg", HarbourPhoto()}, {"meadow.jpg", MeadowPhoto()}};
       }, {"-q", "-s", "-nx", "-ori", "harbour.jpg,meadow.jpg"}},
      {"slr_camera", one("camera.jpg", [] { return Jpeg(SlrExif()); }), {"-q", "-s", "camera.jpg"}},
      {"nikon_type3", one("n3.jpg", [] {
         return Jpeg(CameraBlock(true, "NIKON CORPORATION", "NIKON D300", "0221",
                                 MakerNoteBuilder(Layout::kNikonType3)
                                     .Undefined(0x0001, "0210")
                                     .Short(0x0002, {0, 200})
                                     .Ascii(0x0004, "FINE")
                                     .Ascii(0x0005, "AUTO")
                                     .Short(0x000A, {1})
                                     .Rational(0x0084, {{24, 1}, {120, 1}, {28, 10}, {45, 10}})
                                     .Ascii(0x008D, "MODE2")
                                     .Long(0x0F00, {1, 2})));
       }), {"-q", "-s", "n3.jpg"}},
      {"nikon_type1", one("n1.jpg", [] {
         return Jpeg(CameraBlock(false, "NIKON", "E990", "0200",
                                 MakerNoteBuilder(Layout::kNikonType1)
                                     .Ascii(0x0002, "NIKON E990")
                                     .Short(0x0003, {4})
                                     .Short(0x0007, {5})
                                     .Short(0x0009, {1})
                                     .Rational(0x000A, {{0, 100}})));
       }), {"-q", "-s", "n1.jpg"}},
      {"nikon_bare", one("nb.jpg", [] {
         return Jpeg(CameraBlock(true, "NIKON", "E880", "0210",
                                 MakerNoteBuilder(Layout::kNikonBare)
                                     .Short(0x0002, {0, 100})
                                     .Ascii(0x0007, "AF-S  ")
                                     .Short(0x0010, {1})));
       }), {"-q", "-s", "nb.jpg"}},
      {"olympus", one("ol.jpg", [] {
         return Jpeg(CameraBlock(false, "OLYMPUS OPTICAL CO.,LTD", "C3040Z", "0210",
                                 MakerNoteBuilder(Layout::kOlympus)
                                     .Short(0x0201, {3})
                                     .Short(0x0202, {1})
                                     .Short(0x0203, {0})
                                     .Rational(0x0204, {{100, 100}})
                                     .Ascii(0x0207, "SX751")));
       }), {"-q", "-s", "ol.jpg"}},
      {"casio_qvc", one("cq.jpg", [] {
         return Jpeg(CameraBlock(true, "CASIO COMPUTER CO.,LTD.", "EX-Z750", "0221",
                                 MakerNoteBuilder(Layout::kCasioQvc)
                                     .Short(0x0008, {2})
                                     .Long(0x2022, {1500})
                                     .Short(0x2013, {4})
                                     .Short(0x2012, {1})
                                     .Ascii(0x3006, "CET+1")));
       }), {"-q", "-s", "cq.jpg"}},
      {"casio_bare", one("cb.jpg", [] {
         return Jpeg(CameraBlock(false, "CASIO", "QV-3000EX", "0210",
                                 MakerNoteBuilder(Layout::kCasioBare)
                                     .Short(0x0001, {5})
                                     .Ascii(0x0006, "2.4 m")
                                     .Short(0x0008, {1})
                                     .Long(0x000A, {65537})
                                     .Short(0x0014, {100})));
       }), {"-q", "-s", "cb.jpg"}},
      {"fuji", one("fu.jpg", [] {
         return Jpeg(CameraBlock(true, "FUJIFILM", "FinePix S5000", "0220",
                                 MakerNoteBuilder(Layout::kFuji)
                                     .Undefined(0x0000, "0130")
                                     .Ascii(0x1000, "NORMAL ")
                                     .Short(0x1001, {3})
                                     .Short(0x1002, {256})
                                     .Long(0x1031, {512})
                                     .Short(0x1032, {0})));
       }), {"-q", "-s", "fu.jpg"}},
      {"canon", one("ca.jpg", [] {
         return Jpeg(CameraBlock(true, "Canon", "Canon EOS 20D", "0221",
                                 MakerNoteBuilder(Layout::kCanon)
                                     .Short(0x0000, {0, 0, 0})
                                     .Short(0x0001, {8, 1, 0, 3, 4, 1, 2, 0, 0, 0, 3, 1})
                                     .Ascii(0x0006, "IMG:EOS 20D JPEG")
                                     .Long(0x0008, {1001234})
                                     .Short(0x000F, {4, 257, 513, 770})));
       }), {"-q", "-s", "ca.jpg"}},
      {"seiko_sanyo_minolta", [] {
         return std::vector<std::pair<std::string, std::string>>{
             {"se.jpg", Jpeg(CameraBlock(false, "SEIKO EPSON CORP.", "PhotoPC 3000Z", "0210",
                                         MakerNoteBuilder(Layout::kSeiko)
                                             .Short(0x0201, {2})
                                             .Ascii(0x020A, "Seaside walk")
                                             .Short(0x0300, {1})
                                             .Short(0x0F00, {1})))},
             {"sa.jpg", Jpeg(CameraBlock(true, "SANYO Electric Co.,Ltd.", "SR6", "0210",
                                         MakerNoteBuilder(Layout::kSanyo)
                                             .Short(0x0203, {1})
                                             .Rational(0x0204, {{2, 1}})
                                             .Undefined(0x0F00, "dump data")))},
             {"mi.jpg", Jpeg(CameraBlock(false, "Minolta Co., Ltd.", "DiMAGE 7", "0210",
                                         MakerNoteBuilder(Layout::kMinolta)
                                             .Undefined(0x0000, "MLY0")
                                             .Undefined(0x0E00, "PrintIM 0300")))}};
       }, {"-q", "-s", "se.jpg", "sa.jpg", "mi.jpg"}},
      {"tiff_family", [] {
         return std::vector<std::pair<std::string, std::string>>{
             {"scan.tif", CameraBlock(false, "Canon", "CanoScan", "0220",
                                      MakerNoteBuilder(Layout::kCanon).Ascii(0x0006, "SCAN"))},
             {"raw.nef", CameraBlock(true, "NIKON CORPORATION", "NIKON D70", "",
                                     MakerNoteBuilder(Layout::kNikonType3).Short(0x0002, {0, 800}))}};
       }, {"-q", "-s", "scan.tif", "raw.nef"}},
      {"value_types", one("types.jpg", [] { return Jpeg(ValueTypesBlock()); }), {"-q", "-s", "types.jpg"}},
      {"iptc_only", one("iptc.jpg", IptcOnlyPhoto), {"-q", "-s", "iptc.jpg"}},
      {"damaged", [] {
         // The first tag of IFD0 is unknown; then IFD0 claims more entries than the segment holds.
         std::string sized = Jpeg(CameraBlock(false, "Canon", "X", "0220", MakerNoteBuilder(Layout::kCanon)));
         sized[24] = '\x7F';
         std::string oversized = sized;
         oversized[21] = '\x7F';
         std::string noIdent = JpegBuilder(8, 8).Add(0xE1, "Exig\0\0II*\0\x08\0\0\0").Comment("c").Build();
         return std::vector<std::pair<std::string, std::string>>{
             {"sized.jpg", sized}, {"oversized.jpg", oversized}, {"noident.jpg", noIdent},
             {"png.jpg", std::string("\x89PNG\r\n", 6)}};
       }, {"-q", "-s", "sized.jpg", "oversized.jpg", "noident.jpg", "png.jpg"}},
  };
}

std::string GoldenPath(const std::string& name) {
  return std::string(PIXMETA_GOLDEN_DIR) + "/" + name + ".txt";
}

class GoldenReport : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenReport, MatchesTheRecordedReport) {
  const GoldenCase& c = GetParam();
  CliSandbox box;
  for (const auto& [name, bytes] : c.files()) {
    const std::string path = box.dir().Write("work/" + name, bytes);
    // A fixed modification time, so the report's file date is the same on every run.
    const timespec times[2] = {{1589723127, 0}, {1589723127, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  }
  const CliResult r = box.Run(c.args, "", {"TZ=UTC"});
  ASSERT_EQ(r.exitCode, 0);
  ASSERT_EQ(r.err, "");
  if (std::getenv("PIXMETA_UPDATE_GOLDEN") != nullptr) {
    WriteBytes(GoldenPath(c.name), r.out);
    GTEST_SKIP() << "recorded " << GoldenPath(c.name);
  }
  const std::string golden = ReadBytes(GoldenPath(c.name));
  ASSERT_FALSE(golden.empty()) << "no golden file " << GoldenPath(c.name);
  EXPECT_EQ(r.out, golden);
}

INSTANTIATE_TEST_SUITE_P(Photos, GoldenReport, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pixmeta::test
