#include "exif/jpeg_container.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "exif/tag_dictionary.h"
#include "exif_fixture.h"
#include "imgsize/img_size.h"
#include "fixtures/lines.h"
#include "fixtures/iptc_builder.h"

namespace pixmeta::test {
namespace {

using ::testing::ElementsAre;

std::string SimpleExif() {
  TiffBuilder tiff;
  tiff.Ascii(0, 0x010F, "Canon").Short(0, 0x0112, {6});
  return tiff.Build();
}

std::vector<uint32_t> Markers(const TimgData& c) {
  std::vector<uint32_t> markers;
  for (int i = 1; i <= c.SlotCount(); ++i) markers.push_back(c.Slot(i).marker);
  return markers;
}

TEST(JpegContainer, KeepsSegmentsUpToTheStartOfScan) {
  LoadedFile f("a.jpg", JpegBuilder().App0().Exif(SimpleExif()).Comment("hello").Build());
  ASSERT_TRUE(f.loaded());
  TimgData& c = f.container();
  EXPECT_EQ(c.ErrorText(), "<none>");
  EXPECT_TRUE(c.HasExif());
  EXPECT_TRUE(c.HasComment());
  EXPECT_FALSE(c.HasIptc());
  EXPECT_EQ(c.JfifSlot(), 1);
  EXPECT_EQ(c.ExifSlot(), 2);
  EXPECT_EQ(c.GetComment(), "hello");
  // libjpeg's own segments follow: tables, the frame, Huffman tables and the scan header.
  const auto markers = Markers(c);
  EXPECT_EQ(markers.back(), 0xDAu);
  EXPECT_EQ(c.Slot(3).bytes.size(), static_cast<size_t>(c.Slot(3).length));
  EXPECT_EQ(f.Value("Make"), "Canon");
  EXPECT_EQ(c.FileSize(), static_cast<int64_t>(std::filesystem::file_size(f.path())));
}

TEST(JpegContainer, OnlyACommentIsEnoughMetadata) {
  LoadedFile f("a.jpg", JpegBuilder().Comment("just this").Build());
  EXPECT_TRUE(f.loaded());
  EXPECT_FALSE(f.container().HasExif());
  EXPECT_EQ(f.container().Exif(), nullptr);
  EXPECT_EQ(f.container().GetComment(), "just this");
}

TEST(JpegContainer, TheLastOfTwoCommentsWins) {
  LoadedFile f("a.jpg", JpegBuilder().Comment("first").Comment("second").Build());
  EXPECT_EQ(f.container().GetComment(), "second");
}

TEST(JpegContainer, ExifIsOnlyRecognisedAmongTheFirstFiveSegments) {
  JpegBuilder fourFirst;
  for (int i = 0; i < 4; ++i) fourFirst.Add(0xE2, "icc");
  LoadedFile late("a.jpg", fourFirst.Exif(SimpleExif()).Build());
  EXPECT_FALSE(late.loaded());
  EXPECT_EQ(late.container().ErrorText(), "Not an EXIF file");
  EXPECT_FALSE(late.container().HasExif());
  EXPECT_EQ(late.container().SlotCount(), 5);

  // With a comment first, reading goes on, and an APP1 in slot 5 is still taken...
  JpegBuilder commentFirst;
  commentFirst.Comment("c");
  for (int i = 0; i < 3; ++i) commentFirst.Add(0xE2, "icc");
  LoadedFile fifth("a.jpg", JpegBuilder(commentFirst).Exif(SimpleExif()).Build());
  EXPECT_EQ(fifth.container().ExifSlot(), 5);
  // ...but not in slot 6.
  LoadedFile sixth("a.jpg", commentFirst.Add(0xE2, "icc").Exif(SimpleExif()).Build());
  EXPECT_TRUE(sixth.loaded());
  EXPECT_FALSE(sixth.container().HasExif());
}

TEST(JpegContainer, ASecondApp1IsDroppedAndItsSlotReused) {
  LoadedFile f("a.jpg", JpegBuilder()
                            .App0()
                            .Exif(SimpleExif())
                            .Add(0xE1, "http://ns.adobe.com/xap/1.0/\0<x/>")
                            .Comment("c")
                            .Build());
  const TimgData& c = f.container();
  EXPECT_EQ(c.ExifSlot(), 2);
  EXPECT_EQ(c.CommentSlot(), 3);
  EXPECT_EQ(c.Slot(3).marker, 0xFEu);
}

TEST(JpegContainer, ReadsAtMostTwentySegmentsAndAppendsIntoTheTwentyFirst) {
  JpegBuilder b;
  b.Exif(SimpleExif());
  for (int i = 0; i < 25; ++i) b.Add(0xE2, "x");
  LoadedFile f("a.jpg", b.Build());
  TimgData& c = f.container();
  EXPECT_TRUE(f.loaded());
  EXPECT_EQ(c.SlotCount(), 20);
  EXPECT_EQ(Markers(c).back(), 0xE2u);  // stopped before the scan
  EXPECT_TRUE(c.SetComment("appended"));
  EXPECT_EQ(c.CommentSlot(), 21);
  EXPECT_FALSE(c.SetIptcBytes("Photoshop 3.0"));  // a 22nd slot does not exist
  EXPECT_FALSE(c.HasIptc());
  EXPECT_TRUE(c.SetComment("replaced in its slot"));
  EXPECT_EQ(c.CommentSlot(), 21);
  EXPECT_EQ(c.GetComment(), "replaced in its slot");
}

TEST(JpegContainer, SetCommentAppendsOrReplacesAndRefusesWhatDoesNotFit) {
  LoadedFile f("a.jpg", JpegBuilder().Exif(SimpleExif()).Build());
  TimgData& c = f.container();
  ASSERT_FALSE(c.HasComment());
  const int before = c.SlotCount();
  EXPECT_TRUE(c.SetComment("new comment"));
  EXPECT_EQ(c.CommentSlot(), before + 1);
  EXPECT_EQ(c.GetComment(), "new comment");
  const tSection& slot = c.Slot(c.CommentSlot());
  EXPECT_EQ(slot.marker, 0xFEu);
  EXPECT_EQ(slot.length, 13);
  EXPECT_EQ(slot.bytes.substr(0, 2), std::string("\0\x0D", 2));
  EXPECT_TRUE(c.SetComment(std::string(65533, 'x')));
  EXPECT_EQ(c.Slot(c.CommentSlot()).bytes.substr(0, 2), "\xFF\xFF");
  EXPECT_FALSE(c.SetComment(std::string(65534, 'x')));
  EXPECT_EQ(c.GetComment().size(), 65533u);
  EXPECT_EQ(c.SlotCount(), before + 1);
}

TEST(JpegContainer, TheExtensionAloneChoosesTheReader) {
  const std::string jpeg = JpegBuilder().Exif(SimpleExif()).Build();
  LoadedFile upper("PHOTO.JPG", jpeg);
  EXPECT_TRUE(upper.loaded());
  LoadedFile jpe("photo.jpe", jpeg);
  EXPECT_TRUE(jpe.loaded());
  LoadedFile other("photo.png", jpeg);
  EXPECT_FALSE(other.loaded());
  EXPECT_EQ(other.container().ErrorText(), "Not an EXIF file");
  EXPECT_FALSE(other.container().HasExif());
  LoadedFile none("photo", jpeg);
  EXPECT_FALSE(none.loaded());
  LoadedFile dotInFolder("dir.jpg/photo", jpeg);
  EXPECT_FALSE(dotInFolder.loaded());
}

TEST(JpegContainer, AMissingFileLeavesTheErrorTextEmpty) {
  TimgData c;
  EXPECT_FALSE(c.LoadFile("/nonexistent/a.jpg"));
  EXPECT_EQ(c.ErrorText(), "");
  EXPECT_FALSE(c.HasMetadata());
}

TEST(JpegContainer, AFifoOrAFolderUnderAJpegNameIsNoFile) {
  TempDir dir;
  const std::string fifo = dir.path() + "pipe.jpg";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string folder = dir.path() + "folder.jpg";
  std::filesystem::create_directory(folder);
  for (const std::string& path : {fifo, folder}) {
    TimgData c;
    EXPECT_FALSE(c.LoadFile(path));  // returns at once: a FIFO without a writer would block
    EXPECT_EQ(c.ErrorText(), "");
    EXPECT_FALSE(TImgSize(path).IsValid());
  }
}

TEST(JpegContainer, AFileThatCannotBeOpenedIsAnIllegalConstruction) {
  TempDir dir;
  const auto path = dir.Unreadable("locked.nef");
  if (!path) GTEST_SKIP() << "no unreadable file here";
  TimgData c;
  EXPECT_FALSE(c.LoadFile(*path));
  EXPECT_EQ(c.ErrorText(), "Illegal Exif construction");
  EXPECT_EQ(c.FileName(), *path);
}

TEST(JpegContainer, MalformedJpegsAreReadAsFarAsTheyGo) {
  const std::string good = JpegBuilder().Comment("kept").Exif(SimpleExif()).Build();
  // Not a JPEG at all, and an empty file.
  for (const std::string& bytes : {std::string("GIF89a"), std::string(), std::string("\xFF")}) {
    LoadedFile f("a.jpg", bytes);
    EXPECT_FALSE(f.loaded());
    EXPECT_EQ(f.container().ErrorText(), "Not an EXIF file");
  }
  // Cut inside the EXIF segment: the comment before it stays, the EXIF is abandoned.
  const size_t exifStart = good.find("Exif") - 4;
  LoadedFile cut("a.jpg", good.substr(0, exifStart + 20));
  EXPECT_FALSE(cut.loaded());
  EXPECT_TRUE(cut.container().HasComment());
  EXPECT_FALSE(cut.container().HasExif());
  // Every prefix of a good file loads without harm.
  for (size_t n = 0; n < good.size(); n += 7) {
    LoadedFile f("a.jpg", good.substr(0, n));
    EXPECT_LE(f.container().SlotCount(), 20);
  }
  // A length field below 2 keeps its slot and is not looked at.
  LoadedFile tiny("a.jpg", std::string("\xFF\xD8\xFF\xFE\x00\x01\xFF\xFE\x00\x04ok\xFF\xDA\x00\x02", 16));
  EXPECT_TRUE(tiny.loaded());
  EXPECT_EQ(tiny.container().CommentSlot(), 2);
  EXPECT_EQ(tiny.container().GetComment(), "ok");
}

TEST(JpegContainer, FillBytesBeforeAMarkerAreSkipped) {
  const std::string jpeg = JpegBuilder().Build();
  const std::string filled = jpeg.substr(0, 2) + "\xFF\xFF\xFF" + Segment(0xFE, "fill") + jpeg.substr(2);
  LoadedFile f("a.jpg", filled);
  EXPECT_EQ(f.container().GetComment(), "fill");
}

TEST(JpegContainer, CommentLengthBytesDecideItsText) {
  LoadedFile f("a.jpg", JpegBuilder().Comment("").Build());
  EXPECT_TRUE(f.container().HasComment());
  EXPECT_EQ(f.container().GetComment(), "");
}

TEST(JpegContainer, TiffFamilyFilesAreReadAsOneBlockFromOffsetEight) {
  for (const bool big : {false, true}) {
    TiffBuilder tiff(big);
    const int exif = tiff.AddIfd();
    tiff.Ascii(0, 0x010F, "NIKON CORPORATION").Short(0, 0x0100, {4000}).Link(0, 0x8769, exif);
    tiff.Rational(exif, 0x829A, {{1, 250}});
    for (const char* name : {"a.tif", "a.TIFF", "a.nef"}) {
      LoadedFile f(name, tiff.Build());
      ASSERT_TRUE(f.loaded()) << name;
      TimgData& c = f.container();
      EXPECT_EQ(c.ErrorText(), "<none>");
      EXPECT_EQ(c.ExifSlot(), 1);
      EXPECT_EQ(c.Slot(1).bytes, tiff.Build().substr(8));
      EXPECT_TRUE(f.exif().isTiff);
      EXPECT_EQ(f.exif().bigEndian, big);
      EXPECT_EQ(f.Value("Make"), "NIKON CORPORATION");
      EXPECT_EQ(f.Value("ExposureTime"), "1/250 sec");
      EXPECT_EQ(f.exif().width, 4000);
      EXPECT_EQ(f.exif().widthPos, 8 + 2 + 12 + 8 - 7);  // second entry of IFD0, TIFF offset - 7
      EXPECT_EQ(f.exif().thumbOffset, 0);
    }
  }
  LoadedFile bad("a.tif", "IM\0\0\0\0\0\0");
  EXPECT_FALSE(bad.loaded());
  EXPECT_EQ(bad.container().ErrorText(), "Not an EXIF file");
  LoadedFile shortTiff("a.tif", "II*");
  EXPECT_FALSE(shortTiff.loaded());
}

TEST(JpegContainer, OnlyAnApp1NamedExifIsTheExifBlockAndABadOneLoadsWithAnEmptyTagList) {
  LoadedFile noId("a.jpg", JpegBuilder().Add(0xE1, "Exix\0\0" + SimpleExif()).Build());
  EXPECT_FALSE(noId.loaded());
  EXPECT_FALSE(noId.container().HasExif());
  // An XMP segment in front of the EXIF segment hides nothing.
  const std::string xmp = std::string("http://ns.adobe.com/xap/1.0/\0", 29) + "<x/>";
  LoadedFile xmpFirst("a.jpg", JpegBuilder().Add(0xE1, xmp).Exif(SimpleExif()).Build());
  ASSERT_TRUE(xmpFirst.container().HasExif());
  EXPECT_EQ(xmpFirst.container().ExifSlot(), 2);
  EXPECT_FALSE(xmpFirst.exif().tags.empty());
  LoadedFile badOrder("a.jpg", JpegBuilder().Add(0xE1, std::string("Exif\0\0XX", 8)).Build());
  EXPECT_TRUE(badOrder.exif().tags.empty());
  LoadedFile tooShort("a.jpg", JpegBuilder().Add(0xE1, std::string("Exif\0\0II*\0", 10)).Build());
  EXPECT_TRUE(tooShort.exif().tags.empty());
}

TEST(JpegContainer, AnApp1EndingInsideItsHeaderLoadsWithoutExifEntries) {
  // Lengths 2 to 9: the segment ends before, inside or just after "Exif" and the marks
  // that follow it; every byte of it is read through the checked view.
  const std::string header("Exif\0\0II", 8);
  for (size_t payload = 0; payload <= header.size(); ++payload) {
    LoadedFile f("a.jpg", JpegBuilder().Add(0xE1, header.substr(0, payload)).Comment("c").Build());
    EXPECT_TRUE(f.loaded()) << payload;
    // Shorter than its name, it is not an EXIF block.
    ASSERT_EQ(f.container().HasExif(), payload >= 4) << payload;
    if (payload >= 4) {
      EXPECT_TRUE(f.exif().tags.empty()) << payload;
    }
    EXPECT_EQ(f.container().GetComment(), "c") << payload;
  }
}

TEST(JpegContainer, MetadataXmlWrapsFileFactsAndTheExifBlock) {
  LoadedFile f("a.jpg", JpegBuilder().Exif(SimpleExif()).Build());
  const auto xml = MetadataXmlOf(f.container());
  ASSERT_TRUE(xml);
  const std::vector<std::string> lines = Lines(*xml);
  const std::string folder = f.path().substr(0, f.path().rfind('/') + 1);
  ASSERT_GE(lines.size(), 9u);
  EXPECT_EQ(lines[0], "<dImageFile>");
  EXPECT_EQ(lines[1], "   <OSdata>");
  EXPECT_EQ(lines[2], "      <name> a.jpg </name>");
  EXPECT_EQ(lines[3], "      <path> " + folder + " </path>");
  EXPECT_EQ(lines[4], "      <size> " + std::to_string(std::filesystem::file_size(f.path())) +
                          " </size>");
  EXPECT_TRUE(lines[5].starts_with("      <date> ") && lines[5].ends_with(" </date>"));
  EXPECT_EQ(lines[5].size(), std::string("      <date> hh:mm:ss </date>").size());
  EXPECT_EQ(lines[6], "   </OSdata>");
  EXPECT_EQ(lines[7], "   <EXIFdata>");
  EXPECT_EQ(lines.back(), "</dImageFile>");

  LoadedFile plain("b.jpg", JpegBuilder().Comment("c").Build());
  EXPECT_EQ(MetadataXmlOf(plain.container())->Count(), 8u);
  std::filesystem::remove(plain.path());
  EXPECT_FALSE(MetadataXmlOf(plain.container()));
}

TEST(JpegContainer, TheFirstApp13BecomesTheIptcObjectsSegment) {
  const std::string first = IptcBuilder().Add(2, 90, "Paris").Payload();
  const std::string second = IptcBuilder().Add(2, 90, "Rome").Payload();
  LoadedFile f("a.jpg", JpegBuilder().Add(0xED, first).Add(0xED, second).Build());
  TimgData& c = f.container();
  ASSERT_TRUE(f.loaded());
  ASSERT_NE(c.Iptc(), nullptr);
  EXPECT_EQ(c.IptcSlot(), 1);
  EXPECT_EQ(c.Slot(2).marker, 0xEDu);  // kept, not referenced
  EXPECT_EQ(c.IptcSegment().substr(2), first);
  EXPECT_EQ(c.Iptc()->FileJoinedValue("City"), "Paris");
  // The held list is filled by the per-file loop, not by the load.
  EXPECT_FALSE(c.Iptc()->HasEntries());
  c.Iptc()->LoadFromSegment(c.IptcSegment());
  const auto xml = MetadataXmlOf(c);
  const std::vector<std::string> lines = Lines(*xml);
  EXPECT_THAT(std::vector<std::string>(lines.end() - 6, lines.end()),
              ElementsAre("   <ITPCdata>", "   <City>", "      Paris", "   </City>",
                          "   </ITPCdata>", "</dImageFile>"));
}

TEST(JpegContainer, IptcCanBeReadFromAnotherFileWithoutTouchingTheContainer) {
  TempDir dir;
  const std::string other = dir.Write(
      "b.jpg", JpegBuilder().Add(0xED, IptcBuilder().Keywords({"a", "b"}).Payload()).Build());
  LoadedFile f("a.jpg", JpegBuilder().Comment("c").Build());
  TimgData& c = f.container();
  EXPECT_FALSE(c.HasIptc());
  ASSERT_TRUE(c.CreateEmptyIptc());
  EXPECT_TRUE(c.HasIptc());
  EXPECT_EQ(c.IptcSegment(), std::string("\0\x02", 2));
  EXPECT_TRUE(c.Iptc()->LoadFromJpeg(other));
  EXPECT_EQ(c.Iptc()->ValueOf("Keywords", ""), "a,b");
  EXPECT_EQ(c.GetComment(), "c");
  EXPECT_EQ(c.FileName(), f.path());
  EXPECT_FALSE(c.Iptc()->LoadFromJpeg(dir.path() + "missing.jpg"));
}

}  // namespace
}  // namespace pixmeta::test

namespace pixmeta::test {
namespace {

// What the program views of a segment stays valid however often the segment is replaced
// or cut, until the next load: the sanitizer build turns any view into freed memory into
// a failure here.
TEST(JpegContainer, ReplacedAndCutSegmentsLeaveEveryEarlierViewReadable) {
  TiffBuilder tiff;
  const int ifd1 = tiff.AddIfd();
  tiff.Ascii(0, 0x010F, "Canon").Next(0, ifd1);
  tiff.Thumbnail(ifd1, TinyJpeg(160, 120));
  LoadedFile f("a.jpg", JpegBuilder().Exif(tiff.Build()).Comment("first").Build());
  TimgData& c = f.container();
  const std::string_view first = c.Slot(c.CommentSlot()).bytes;
  const std::string_view make = f.exif().GetEntry("Make").raw;
  ASSERT_TRUE(c.SetComment("second, and longer"));
  ASSERT_TRUE(c.SetComment("third"));
  EXPECT_EQ(c.GetComment(), "third");
  EXPECT_EQ(first.substr(2), "first");

  const size_t exifLength = c.Slot(c.ExifSlot()).bytes.size();
  ASSERT_TRUE(c.ShortenExif(exifLength / 2));
  EXPECT_EQ(f.exif().buffer.size(), exifLength / 2);
  EXPECT_EQ(make.substr(0, 5), "Canon");
  EXPECT_EQ(f.Value("Make"), "Canon");
}

}  // namespace
}  // namespace pixmeta::test
