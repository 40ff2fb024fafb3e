// Writing a container back into its file: which segments the new file holds, in which
// order, and that a file changed or gone since it was read is never replaced.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "exif/jpeg_codec.h"
#include "exif/jpeg_container.h"
#include "fixtures/jpeg_builder.h"
#include "fixtures/jpeg_parts.h"
#include "fixtures/temp_dir.h"
#include "fixtures/tiff_builder.h"
#include "platform/file_system.h"

namespace pixmeta::test {
namespace {

using ::testing::ElementsAre;

std::string SmallExif() {
  TiffBuilder tiff;
  tiff.Ascii(0, 0x010F, "Canon").Short(0, 0x0112, {6});
  return tiff.Build();
}

// A file loaded as the per-file loop loads it: one open serves the load and the save.
struct Opened {
  explicit Opened(const std::string& bytes) : path(dir.Write("p.jpg", bytes)) {
    file = platform::OpenForReading(path);
    container.LoadFile(path, file);
  }
  // Saves the container; the error text, empty on success.
  std::string Save() {
    std::string error;
    JpegImage image;
    if (!image.Load(*file.file, error)) return error;
    return container.SaveWithImage(image, path, true, error) ? std::string() : error;
  }
  std::vector<uint8_t> Markers() const {
    std::vector<uint8_t> markers;
    for (const auto& [marker, bytes] : SplitJpeg(ReadBytes(path)).segments) {
      markers.push_back(marker);
    }
    return markers;
  }

  TempDir dir;
  std::string path;
  platform::OpenedFile file;
  TimgData container;
};

TEST(JpegWriter, TheExifSegmentLeadsAndTheApp0GoesButOtherSegmentsStayOnceInOrder) {
  const std::string xmp = std::string("http://ns.adobe.com/xap/1.0/\0", 29) + "<x/>";
  Opened f(JpegBuilder().App0().Exif(SmallExif()).Add(0xE1, xmp).Add(0xE2, "ICC").Build());
  const JpegParts before = SplitJpeg(ReadBytes(f.path));
  ASSERT_EQ(f.Save(), "");
  const JpegParts after = SplitJpeg(ReadBytes(f.path));
  ASSERT_TRUE(after.valid);
  // APP1 (EXIF), APP1 (XMP), APP2, then the image's own tables, frame and scan.
  ASSERT_EQ(after.segments.size(), before.segments.size() - 1);
  EXPECT_EQ(after.segments[0], before.segments[1]);
  for (size_t i = 1; i < after.segments.size(); ++i) {
    EXPECT_EQ(after.segments[i], before.segments[i + 1]) << i;
  }
  EXPECT_EQ(after.scan, before.scan);
}

TEST(JpegWriter, AFileWithoutApp0OrExifGetsTheDefaultJfifSegment) {
  Opened f(JpegBuilder().Comment("note").Build());
  ASSERT_EQ(f.Save(), "");
  const std::string saved = ReadBytes(f.path);
  EXPECT_EQ(saved.substr(0, 20),
            std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x02\x01\x01\x2C\x01\x2C\x00\x00", 20));
  EXPECT_EQ(SplitJpeg(saved).segments.at(1).first, 0xFE);
}

TEST(JpegWriter, ANewCommentFollowsTheMetadataAndComesAfterEveryOtherComment) {
  Opened f(JpegBuilder().App0().Exif(SmallExif()).Add(0xED, "").Build());
  ASSERT_TRUE(f.container.SetComment("added"));
  ASSERT_EQ(f.Save(), "");
  const std::vector<uint8_t> markers = f.Markers();
  ASSERT_GE(markers.size(), 3u);
  EXPECT_THAT(std::vector<uint8_t>(markers.begin(), markers.begin() + 3),
              ElementsAre(0xE1, 0xED, 0xFE));
  EXPECT_EQ(std::count(markers.begin(), markers.end(), 0xFE), 1);

  // Of two comments the last is the file's: the one the program holds is written last.
  Opened two(JpegBuilder().Comment("first").Comment("second").Build());
  ASSERT_TRUE(two.container.SetComment("changed"));
  ASSERT_EQ(two.Save(), "");
  TimgData again;
  again.LoadFile(two.path);
  EXPECT_EQ(again.GetComment(), "changed");
  const auto comments = SegmentsWith(SplitJpeg(ReadBytes(two.path)), 0xFE);
  EXPECT_THAT(comments, ElementsAre(Segment(0xFE, "first"), Segment(0xFE, "changed")));
}

TEST(JpegWriter, ACutExifSegmentIsWrittenAtItsNewLength) {
  Opened f(JpegBuilder().Exif(SmallExif()).Build());
  const size_t length = f.container.Slot(f.container.ExifSlot()).bytes.size();
  ASSERT_TRUE(f.container.ShortenExif(length - 4));
  ASSERT_EQ(f.Save(), "");
  const auto exif = SegmentsWith(SplitJpeg(ReadBytes(f.path)), 0xE1).at(0);
  EXPECT_EQ(exif.size(), length - 4 + 2);
  EXPECT_EQ(static_cast<unsigned char>(exif[2]) * 256 + static_cast<unsigned char>(exif[3]),
            static_cast<int>(length - 4));
}

TEST(JpegWriter, AFileChangedOrGoneSinceItWasReadIsNotReplaced) {
  Opened changed(JpegBuilder().Exif(SmallExif()).Build());
  changed.container.SetComment("mine");
  const std::string theirs = JpegBuilder().Comment("theirs").Build();
  WriteBytes(changed.path + ".new", theirs);
  std::filesystem::rename(changed.path + ".new", changed.path);
  EXPECT_EQ(changed.Save(), "file changed since it was read");
  EXPECT_EQ(ReadBytes(changed.path), theirs);

  Opened grown(JpegBuilder().Exif(SmallExif()).Build());
  const std::string longer = ReadBytes(grown.path) + "more";
  {
    std::FILE* out = std::fopen(grown.path.c_str(), "ab");
    ASSERT_NE(out, nullptr);
    std::fputs("more", out);
    std::fclose(out);
  }
  EXPECT_EQ(grown.Save(), "file changed since it was read");
  EXPECT_EQ(ReadBytes(grown.path), longer);

  Opened gone(JpegBuilder().Exif(SmallExif()).Build());
  std::filesystem::remove(gone.path);
  EXPECT_EQ(gone.Save(), "file vanished since it was read");
  EXPECT_FALSE(std::filesystem::exists(gone.path));
  EXPECT_TRUE(std::filesystem::is_empty(gone.dir.path()));
}

}  // namespace
}  // namespace pixmeta::test
