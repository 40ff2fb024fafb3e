#include "imgsize/img_size.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>

#include "fixtures/image_formats.h"
#include "fixtures/jpeg_builder.h"
#include "fixtures/temp_dir.h"
#include "fixtures/tiff_builder.h"

namespace pixmeta {
namespace {

using test::TempDir;

struct Measured {
  bool valid = false;
  int32_t width = -1;
  int32_t height = -1;
  bool operator==(const Measured&) const = default;
  friend std::ostream& operator<<(std::ostream& os, const Measured& m) {
    return os << (m.valid ? "valid " : "invalid ") << m.width << "x" << m.height;
  }
};

constexpr Measured kNoSize{};

Measured Probe(const std::string& path) {
  const TImgSize probe(path);
  return {probe.IsValid(), probe.GetSize().width, probe.GetSize().height};
}

Measured Size(int32_t width, int32_t height) { return {true, width, height}; }

// Every prefix of bytes shorter than complete, written under name, gives no size at all.
void ExpectNoSizeWhenCut(const TempDir& dir, const std::string& name, const std::string& bytes,
                         size_t complete) {
  for (size_t n = 0; n < complete; ++n) {
    EXPECT_FALSE(Probe(dir.Write(name, bytes.substr(0, n))).valid) << name << " cut at " << n;
  }
  EXPECT_TRUE(Probe(dir.Write(name, bytes.substr(0, complete))).valid) << name << " whole";
}

// A frame segment: precision, height, width, one component.
std::string Frame(uint8_t marker, uint16_t width, uint16_t height) {
  std::string payload(1, '\x08');
  for (const uint16_t v : {height, width}) {
    payload += static_cast<char>(v >> 8);
    payload += static_cast<char>(v & 0xFF);
  }
  return test::Segment(marker, payload + std::string("\x01\x01\x11\x00", 4));
}

const std::string kSoi("\xFF\xD8", 2);

TEST(ImgSizeJpeg, BaselineAndProgressiveFrames) {
  TempDir dir;
  EXPECT_EQ(Probe(dir.Write("a.jpg", test::TinyJpeg(37, 21))), Size(37, 21));
  const std::string progressive = test::TinyJpeg(40, 30, true);
  ASSERT_NE(progressive.find("\xFF\xC2"), std::string::npos);
  EXPECT_EQ(Probe(dir.Write("p.jpg", progressive)), Size(40, 30));
}

TEST(ImgSizeJpeg, SegmentsFillBytesAndMarkersWithoutLengthAreStepped) {
  TempDir dir;
  const std::string jpeg = test::JpegBuilder(33, 17)
                               .App0()
                               .Exif(test::TiffBuilder().Ascii(0, 0x010F, "Maker").Build())
                               .Comment(std::string(300, '\xFF'))
                               .Raw(std::string("\xFF\xFF\xFF\x01\xFF\xD3\xFF\xFF", 8))
                               .Build();
  EXPECT_EQ(Probe(dir.Write("a.jpeg", jpeg)), Size(33, 17));
}

TEST(ImgSizeJpeg, EveryFrameMarkerCountsAndNoOtherDoes) {
  TempDir dir;
  for (int marker = 0xC0; marker <= 0xCF; ++marker) {
    const bool frame = marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    // A segment laid out like a frame, so one read as a frame by mistake shows.
    const std::string bytes =
        kSoi + Frame(static_cast<uint8_t>(marker), 1111, 2222) + Frame(0xC0, 300, 200);
    EXPECT_EQ(Probe(dir.Write("m.jpg", bytes)), frame ? Size(1111, 2222) : Size(300, 200))
        << std::hex << marker;
  }
}

TEST(ImgSizeJpeg, ScanBeforeAnyFrameGivesNoSize) {
  TempDir dir;
  const std::string scan =
      test::Segment(0xDA, std::string("\x01\x01\x00\x00\x3F\x00", 6)) + "\x12\x34";
  EXPECT_EQ(Probe(dir.Write("s.jpg", kSoi + scan + Frame(0xC0, 64, 48))), kNoSize);
  EXPECT_EQ(Probe(dir.Write("f.jpg", kSoi + Frame(0xC0, 64, 48) + scan)), Size(64, 48));
}

TEST(ImgSizeJpeg, TruncatedOrMalformedFilesGiveNoSize) {
  TempDir dir;
  const std::string jpeg = test::JpegBuilder(20, 10).App0().Build();
  const size_t frame = jpeg.find("\xFF\xC0");
  ASSERT_NE(frame, std::string::npos);
  ExpectNoSizeWhenCut(dir, "t.jpg", jpeg, frame + 9);  // marker to width
  // A segment longer than the file, one whose length cannot cover itself, a wrong signature.
  EXPECT_EQ(Probe(dir.Write("l.jpg", kSoi + std::string("\xFF\xE1\xFF\xF0xyz", 7))), kNoSize);
  EXPECT_EQ(
      Probe(dir.Write("z.jpg", kSoi + std::string("\xFF\xE1\x00\x01", 4) + Frame(0xC0, 5, 5))),
      kNoSize);
  EXPECT_EQ(Probe(dir.Write("b.jpg", "\xFF\xD9" + jpeg.substr(2))), kNoSize);
}

TEST(ImgSizeExtension, LowerCasedAndLookedUpWhole) {
  TempDir dir;
  const std::string jpeg = test::TinyJpeg(12, 9);
  const TImgSize upper(dir.Write("photo.JPG", jpeg));
  EXPECT_TRUE(upper.IsValid());
  EXPECT_EQ(upper.Extension(), ".jpg");
  EXPECT_EQ(upper.ExtensionKey(), ";.jpg;");
  for (const char* name : {"a.jpe", "a.JIF", "a.jfif", "a.jfi"}) {
    EXPECT_EQ(Probe(dir.Write(name, jpeg)), Size(12, 9)) << name;
  }
  // Parts of a listed extension, none, or a dot only in a folder name: nothing is probed.
  for (const char* name : {"photo", "a.jp", "a.pg", "a.jpg.txt", "a.", "dir.jpg/photo"}) {
    EXPECT_EQ(Probe(dir.Write(name, jpeg)), kNoSize) << name;
  }
  EXPECT_EQ(TImgSize(dir.path() + "dir.jpg/photo").Extension(), "");
}

TEST(ImgSizeExtension, ContentOfAnotherTypeGivesNoSize) {
  TempDir dir;
  EXPECT_EQ(Probe(dir.Write("p.jpg", test::PngHeader(10, 10))), kNoSize);
  EXPECT_EQ(Probe(dir.Write("j.png", test::TinyJpeg(10, 10))), kNoSize);
  EXPECT_EQ(Probe(dir.Write("b.gif", test::BmpHeader(10, 10))), kNoSize);
  EXPECT_EQ(Probe(dir.Write("g.bmp", test::GifBuilder(10, 10).Image(10, 10).Build())), kNoSize);
}

TEST(ImgSizeExtension, MissingAndUnreadableFiles) {
  TempDir dir;
  EXPECT_EQ(Probe(dir.path() + "missing.jpg"), kNoSize);
  EXPECT_EQ(Probe(""), kNoSize);
  dir.Make("folder.jpg/x");  // creates the folder
  EXPECT_EQ(Probe(dir.path() + "folder.jpg"), kNoSize);
  const std::optional<std::string> jpg = dir.Unreadable("locked.jpg");
  const std::optional<std::string> gif = dir.Unreadable("locked.gif");
  if (!jpg || !gif) GTEST_SKIP() << "no way to make an unreadable file here";
  EXPECT_THROW(TImgSize{*jpg}, std::runtime_error);
  EXPECT_EQ(Probe(*gif), kNoSize);  // the GIF probe ends quietly on any input failure
}

TEST(ImgSizePng, LowHalvesOfTheHeaderValues) {
  TempDir dir;
  EXPECT_EQ(Probe(dir.Write("a.png", test::PngHeader(640, 480))), Size(640, 480));
  EXPECT_EQ(Probe(dir.Write("w.PNG", test::PngHeader(70000, 65536 + 7))), Size(70000 - 65536, 7));
}

TEST(ImgSizePng, TruncatedOrWrongSignature) {
  TempDir dir;
  const std::string png = test::PngHeader(300, 200);
  ExpectNoSizeWhenCut(dir, "t.png", png, 24);
  EXPECT_EQ(Probe(dir.Write("w.png", "\x89p" + png.substr(2))), kNoSize);
}

TEST(ImgSizeGif, ImageDescriptorWithAndWithoutColourTable) {
  TempDir dir;
  // 0x2C bytes in the screen descriptor lie in the header, which is not scanned.
  EXPECT_EQ(Probe(dir.Write("a.gif", test::GifBuilder(0x2C2C, 44).Image(123, 45).Build())),
            Size(123, 45));
  // Colour tables full of 0x2C bytes are skipped whole, whatever their size.
  for (int bits = 0; bits <= 7; ++bits) {
    const std::string gif =
        test::GifBuilder(500, 400).GlobalColourTable(bits, 0x2C, 0x2C, 0x2C).Image(321, 54).Build();
    EXPECT_EQ(Probe(dir.Write("t.gif", gif)), Size(321, 54)) << bits;
  }
}

TEST(ImgSizeGif, FirstCommaByteAnywhereIsTakenAsTheImage) {
  TempDir dir;
  const std::string gif = test::GifBuilder(10, 10)
                              .GlobalColourTable(1)
                              .Extension(0xFE, "x,ABCDEFGHIJ")
                              .Image(99, 77)
                              .Build();
  EXPECT_EQ(Probe(dir.Write("c.gif", gif)), Size('E' | 'F' << 8, 'G' | 'H' << 8));
}

TEST(ImgSizeGif, CutShortGivesNoSize) {
  TempDir dir;
  const std::string gif = test::GifBuilder(64, 64)
                              .GlobalColourTable(2)
                              .Extension(0xF9, std::string("\x04\x00\x0A\x00\x00", 5))
                              .Image(64, 32)
                              .Build();
  ExpectNoSizeWhenCut(dir, "t.gif", gif, gif.find('\x2C') + 11);  // separator and ten bytes
}

TEST(ImgSizeTiff, LittleEndianShortOrLong) {
  TempDir dir;
  EXPECT_EQ(Probe(dir.Write("s.tif", test::TiffImage(4000, 3000, false, false))), Size(4000, 3000));
  EXPECT_EQ(Probe(dir.Write("l.tiff", test::TiffImage(70000, 9, false, true))), Size(70000, 9));
}

TEST(ImgSizeTiff, BigEndianIsReadLittleEndian) {
  TempDir dir;
  for (const bool asLong : {false, true}) {
    EXPECT_EQ(Probe(dir.Write("m.tif", test::TiffImage(4000, 3000, true, asLong))), kNoSize);
  }
  // With a directory offset that happens to work, only ImageLength's tag (0x0101 either way)
  // is recognised, and its value comes out byte-swapped.
  std::string tiff = test::TiffImage(4000, 3000, true, true);
  tiff.replace(4, 4, std::string("\x08\0\0\0", 4));
  EXPECT_EQ(Probe(dir.Write("n.tif", tiff)),
            (Measured{false, -1, static_cast<int32_t>(0xB80B0000)}));
}

TEST(ImgSizeTiff, FirstValuesWinAndMissingOnesStayUnset) {
  TempDir dir;
  const std::string twice =
      test::TiffBuilder().Short(0, 256, {10}).Short(0, 257, {20}).Short(0, 256, {30}).Build();
  EXPECT_EQ(Probe(dir.Write("d.tif", twice)), Size(10, 20));
  EXPECT_EQ(Probe(dir.Write("w.tif", test::TiffBuilder().Short(0, 256, {10}).Build())),
            (Measured{false, 10, -1}));
}

TEST(ImgSizeTiff, TruncatedOrOffsetOutside) {
  TempDir dir;
  const std::string tiff = test::TiffImage(64, 48, false, false);
  ExpectNoSizeWhenCut(dir, "t.tif", tiff, 8 + 2 + 3 * 12);  // header, count, three entries
  EXPECT_EQ(Probe(dir.Write("o.tif", tiff.substr(0, 4) + "\xFF\xFF\xFF\x7F" + tiff.substr(8))),
            kNoSize);
}

TEST(ImgSizeBmp, BottomUpTopDownAndTruncated) {
  TempDir dir;
  EXPECT_EQ(Probe(dir.Write("a.bmp", test::BmpHeader(120, 80))), Size(120, 80));
  EXPECT_EQ(Probe(dir.Write("d.DIB", test::BmpHeader(120, -80))), (Measured{false, 120, -80}));
  ExpectNoSizeWhenCut(dir, "t.bmp", test::BmpHeader(5, 6), 54);
  EXPECT_EQ(Probe(dir.Write("x.bmp", "MB" + test::BmpHeader(5, 6).substr(2))), kNoSize);
}

}  // namespace
}  // namespace pixmeta
