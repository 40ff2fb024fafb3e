// Writes the seed corpus of each fuzz target, made by the fixture builders:
// make-fuzz-seeds <folder> gives <folder>/load, iptc, size, text and roundtrip.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fixtures/image_formats.h"
#include "fixtures/iptc_builder.h"
#include "fixtures/jpeg_builder.h"
#include "fixtures/maker_note_builder.h"
#include "fixtures/sample_photos.h"
#include "fixtures/temp_dir.h"
#include "fixtures/tiff_builder.h"

namespace {

using namespace pixmeta::test;
using Layout = MakerNoteBuilder::Layout;

// An EXIF block of the camera maker whose note it carries.
std::string CameraExif(std::string_view make, std::string_view model, Layout layout,
                       bool bigEndian) {
  TiffBuilder tiff(bigEndian);
  const int exif = tiff.AddIfd();
  const int ifd1 = tiff.AddIfd();
  tiff.Ascii(0, 0x010F, make)
      .Ascii(0, 0x0110, model)
      .Short(0, 0x0112, {8})
      .Ascii(0, 0x0132, "2012:03:04 05:06:07")
      .Link(0, 0x8769, exif)
      .Next(0, ifd1);
  tiff.Undefined(exif, 0x9000, "0230")
      .Ascii(exif, 0x9003, "2012:03:04 05:06:07")
      .Rational(exif, 0x920A, {{50, 1}})
      .Undefined(exif, 0x9286, std::string("ASCII\0\0\0a user comment\0", 23));
  MakerNoteBuilder(layout)
      .Short(0x0001, {1, 2, 3, 4, 5, 6, 7, 8})
      .Ascii(0x0004, "FINE")
      .Long(0x0008, {123456})
      .Rational(0x0084, {{18, 1}, {55, 1}, {35, 10}, {56, 10}})
      .Undefined(0x000A, "0210")
      .AddTo(tiff, exif);
  tiff.Short(ifd1, 0x0103, {6}).Thumbnail(ifd1, TinyJpeg(8, 8));
  return tiff.Build();
}

std::vector<std::string> CameraBlocks() {
  const std::tuple<std::string_view, std::string_view, Layout> cameras[] = {
      {"NIKON CORPORATION", "NIKON D90", Layout::kNikonType3},
      {"NIKON", "E990", Layout::kNikonType1},
      {"NIKON", "E700", Layout::kNikonBare},
      {"OLYMPUS OPTICAL CO.,LTD", "C3040Z", Layout::kOlympus},
      {"CASIO COMPUTER CO.,LTD.", "EX-Z750", Layout::kCasioQvc},
      {"CASIO", "QV-3000EX", Layout::kCasioBare},
      {"FUJIFILM", "FinePix S2Pro", Layout::kFuji},
      {"Canon", "Canon EOS 20D", Layout::kCanon},
      {"SEIKO EPSON CORP.", "PhotoPC 3000Z", Layout::kSeiko},
      {"SANYO Electric Co.,Ltd.", "SR6", Layout::kSanyo},
      {"Minolta Co., Ltd.", "DiMAGE 7", Layout::kMinolta},
  };
  std::vector<std::string> blocks;
  bool bigEndian = false;
  for (const auto& [make, model, layout] : cameras) {
    blocks.push_back(CameraExif(make, model, layout, bigEndian));
    bigEndian = !bigEndian;
  }
  return blocks;
}

std::vector<std::string> Photos() {
  std::vector<std::string> photos = {HarbourPhoto(), MeadowPhoto(), ScanPhoto()};
  for (const std::string& block : CameraBlocks()) {
    photos.push_back(JpegBuilder(24, 16).Exif(block).Comment("camera").Build());
  }
  // A progressive image with XMP after the EXIF segment, two comments and IPTC at the end.
  photos.push_back(JpegBuilder(40, 24, true)
                       .Comment("first")
                       .Exif(MeadowExif())
                       .Add(0xE1, "http://ns.adobe.com/xap/1.0/\0<x:xmpmeta/>")
                       .Comment("second")
                       .Add(0xED, HarbourIptc())
                       .Build());
  return photos;
}

// The edit parameters the round-trip target takes from the end of its input, in the order
// it takes them: shifts of 1 day, 2 hours, -3 minutes and 4 seconds, and every edit.
std::string EditTrailer() {
  std::string consumed;
  for (const int32_t v : {1, 2, -3, 4}) {
    const uint32_t offset = static_cast<uint32_t>(v) ^ 0x80000000u;  // v - INT32_MIN
    for (int shift = 24; shift >= 0; shift -= 8) consumed += static_cast<char>(offset >> shift);
  }
  consumed += '\x7F';
  return {consumed.rbegin(), consumed.rend()};
}

// Two length bytes, then the payload: the segment as the container hands it over.
std::string SegmentBytes(const std::string& payload) {
  const size_t n = payload.size() + 2;
  return std::string{static_cast<char>(n >> 8), static_cast<char>(n & 0xFF)} + payload;
}

std::vector<std::string> IptcSeeds() {
  std::vector<std::string> segments = {SegmentBytes(HarbourIptc())};
  segments.push_back(IptcBuilder()
                         .Resource(0x03ED, std::string(16, '\x01'))
                         .Add(2, 25, "one")
                         .Add(2, 25, "\"two, three\"")
                         .Add(2, 20, "SUP")
                         .Add(8, 10, "record 8")
                         .SegmentBytes());
  segments.push_back(IptcBuilder().NoSignature().Add(2, 5, "no signature").SegmentBytes());
  segments.push_back(
      IptcBuilder().Add(2, 120, "caption").WithLength(2, 25, 0x8004, "long").SegmentBytes());
  segments.push_back(IptcBuilder().Add(2, 105, "headline").CutShort(3).SegmentBytes());
  segments.push_back(EditorIptc().SegmentBytes());
  // The target takes, from the front: the edit value, ended by a backslash and one more
  // byte; eight bytes that split the segment, read from their end (one segment, with the
  // signature); the key edits, ended as the value is (a backslash in them doubled): their
  // numbers come from their end (one edit of 2:120 with one value, the piece "Caption"
  // once); then the segment bytes, here once as the container hands them over and once as
  // the bare resource stream.
  const std::string layout("\0\0\0\0\0\0\x05\x01", 8);
  const std::string edits = "Caption\\\\ " + std::string("\x01\x01\x78\x01\x01") + "\\ ";
  std::vector<std::string> seeds;
  for (const std::string& segment : segments) {
    const std::string head = "new, keyword\\ " + layout + edits;
    seeds.push_back(head + segment);
    if (segment.size() > 16) seeds.push_back(head + segment.substr(16));
  }
  return seeds;
}

std::vector<std::string> SizeSeeds() {
  return {TinyJpeg(33, 17),
          HarbourPhoto(),
          PngHeader(640, 480),
          GifBuilder(320, 200).GlobalColourTable(3).Extension(0xF9, "abcd").Image(300, 150).Build(),
          BmpHeader(800, -600),
          TiffImage(1024, 768, false, false),
          TiffImage(70000, 3, true, true)};
}

std::vector<std::string> TextSeeds() {
  const std::string_view texts[] = {
      "2011:07:14 21:42:05", "2011-07-14 21:42",   "2011-07-14 21.42.05",
      "110714",              "20110714",           "201107",
      "07/14/2011 21:42:05", "14/07/2011 09:05",   "0000:00:00 00:00:00",
      "IMG_20110714_214205", "2011-07-14 harbour", "Caf\xE9 \"Hafen\" am M\xFCnsterplatz",
      "Bj\xC3\xB6rk \xE2\x82\xAC 12,5",            "a,b,\"c d\",,\"e \"\"f\"\"\"",
      "DSC-0042-edited!",    "12.50",              "-0.5"};
  std::vector<std::string> seeds;
  for (const std::string_view text : texts) {
    // The second text, a backslash and one byte; the text; then n (-40 + byte % 81) and the
    // date window in years, which the target takes from the end.
    seeds.push_back("harbour; 2011\\ " + std::string(text) + "\x2D\x05");
  }
  return seeds;
}

void WriteAll(const std::filesystem::path& folder, const std::vector<std::string>& seeds,
              std::string_view suffix = {}) {
  std::filesystem::create_directories(folder);
  int n = 0;
  for (const std::string& seed : seeds) {
    WriteBytes((folder / ("seed-" + std::to_string(++n))).string(), seed + std::string(suffix));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-fuzz-seeds <folder>\n");
    return 2;
  }
  const std::filesystem::path root = argv[1];
  std::vector<std::string> load = Photos();
  for (const std::string& block : CameraBlocks()) load.push_back(block);
  load.push_back(HarbourExif());
  load.push_back(MeadowExif());
  load.push_back(TiffImage(640, 480, true, true));
  WriteAll(root / "load", load);
  WriteAll(root / "iptc", IptcSeeds());
  WriteAll(root / "size", SizeSeeds());
  WriteAll(root / "text", TextSeeds());
  WriteAll(root / "roundtrip", Photos(), EditTrailer());
  return 0;
}
