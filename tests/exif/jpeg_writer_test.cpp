// Writing a container back into its file: which segments the new file holds, in which
// order, and that a file changed or gone since it was read is never replaced.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <iterator>
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

// The file's bytes with each [offset, offset + old size) range of replaced put in place.
std::string Spliced(std::string bytes, const std::vector<std::pair<std::string, std::string>>& replaced) {
  for (const auto& [was, now] : replaced) {
    const size_t at = bytes.find(was);
    if (at == std::string::npos) return std::string("(not found) ").append(was.substr(0, 8));
    bytes.replace(at, was.size(), now);
  }
  return bytes;
}

TEST(JpegWriter, AnEditChangesOnlyItsOwnSegmentAndKeepsEveryOtherByteInPlace) {
  const std::string xmp = std::string("http://ns.adobe.com/xap/1.0/\0", 29) + "<x/>";
  const std::string jfxx = std::string("JFXX\0\x13", 6) + std::string(40, 'T');
  const std::string avi1 = std::string("AVI1\0\0\0\0", 8);
  const std::string fill = "\xFF\xFF\xFF";
  struct Case {
    const char* name;
    std::string file;
  };
  const Case cases[] = {
      {"JFIF, EXIF, XMP, ICC", JpegBuilder().App0().Exif(SmallExif()).Add(0xE1, xmp).Add(0xE2, "ICC").Build()},
      {"XMP before EXIF", JpegBuilder().Add(0xE1, xmp).Exif(SmallExif()).Build()},
      {"JFXX and AVI1 after JFIF", JpegBuilder().App0().Add(0xE0, jfxx).Add(0xE0, avi1).Exif(SmallExif()).Comment("c").Build()},
      {"fill bytes between segments", JpegBuilder().App0().Raw(fill).Exif(SmallExif()).Raw(fill).Comment("c").Build()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Opened f(c.file);
    ASSERT_TRUE(f.container.HasExif());
    const size_t exifAt = c.file.find("Exif") - 4;
    const std::string exifBefore =
        c.file.substr(exifAt, 2 + static_cast<unsigned char>(c.file[exifAt + 2]) * 256u +
                                  static_cast<unsigned char>(c.file[exifAt + 3]));
    ASSERT_TRUE(f.container.Exif()->SetValueByName("Orientation", 1));
    const bool hadComment = f.container.HasComment();
    if (hadComment) {
      ASSERT_TRUE(f.container.SetComment("new comment"));
    }
    ASSERT_EQ(f.Save(), "");
    std::string exifAfter = exifBefore;
    exifAfter[exifBefore.find(std::string("\x12\x01\x03\0\x01\0\0\0\x06", 9)) + 8] = '\x01';
    std::vector<std::pair<std::string, std::string>> expected{{exifBefore, exifAfter}};
    if (hadComment) expected.emplace_back(Segment(0xFE, "c"), Segment(0xFE, "new comment"));
    EXPECT_EQ(ReadBytes(f.path), Spliced(c.file, expected));
  }
}

TEST(JpegWriter, NoSegmentIsAddedButTheCommentOrApp13AnEditCreates) {
  // An RGB image without APP0: a JFIF segment would make readers take its samples as YCbCr.
  const std::string rgb = EncodeJpeg({.width = 8, .height = 8, .components = 3,
                                      .fill = [](int, unsigned char* row) { std::fill_n(row, 24, 200); }});
  Opened plain(rgb);
  ASSERT_TRUE(plain.container.SetComment("note"));
  ASSERT_EQ(plain.Save(), "");
  EXPECT_EQ(ReadBytes(plain.path), Spliced(rgb, {{"\xFF\xD8", "\xFF\xD8" + Segment(0xFE, "note")}}));

  // After the leading APP0 segments and the EXIF segment, APP13 before the comment.
  const std::string file = JpegBuilder().App0().Exif(SmallExif()).Add(0xE2, "ICC").Build();
  Opened f(file);
  ASSERT_TRUE(f.container.CreateEmptyIptc());
  ASSERT_GE(f.container.Iptc()->StoreValue("City", "Paris"), 0);
  ASSERT_TRUE(f.container.SetComment("added"));
  ASSERT_EQ(f.Save(), "");
  const std::vector<uint8_t> markers = f.Markers();
  ASSERT_GE(markers.size(), 5u);
  EXPECT_THAT(std::vector<uint8_t>(markers.begin(), markers.begin() + 5),
              ElementsAre(0xE0, 0xE1, 0xED, 0xFE, 0xE2));

  // Of two comments the last is the file's: it is changed where it stands.
  Opened two(JpegBuilder().Comment("first").Comment("second").Build());
  ASSERT_TRUE(two.container.SetComment("changed"));
  ASSERT_EQ(two.Save(), "");
  TimgData again;
  again.LoadFile(two.path);
  EXPECT_EQ(again.GetComment(), "changed");
  EXPECT_THAT(SegmentsWith(SplitJpeg(ReadBytes(two.path)), 0xFE),
              ElementsAre(Segment(0xFE, "first"), Segment(0xFE, "changed")));
}

// A multi-picture index (little-endian) whose second picture starts at offset from the
// index's byte-order mark.
std::string MultiPictureIndex(uint32_t offset, uint32_t size) {
  TiffBuilder mpf;
  std::string entries = mpf.U32(0x20030000) + mpf.U32(1000) + mpf.U32(0) + std::string(4, '\0');
  entries += mpf.U32(0x00010000) + mpf.U32(size) + mpf.U32(offset) + std::string(4, '\0');
  mpf.Undefined(0, 0xB000, "0100").Long(0, 0xB001, {2}).Undefined(0, 0xB002, entries);
  return std::string("MPF\0", 4) + mpf.Build();
}

TEST(JpegWriter, TheLaterPicturesOfAMultiPictureFileStayWhereItsIndexSays) {
  const std::string second = TinyJpeg(8, 8);
  const auto build = [&](uint32_t offset) {
    return JpegBuilder().Exif(SmallExif()).Add(0xE2, MultiPictureIndex(offset, second.size()))
               .Comment("short").Build() + second;
  };
  const std::string probe = build(0);
  const size_t index = probe.find("MPF") + 4;
  const std::string file = build(static_cast<uint32_t>(probe.size() - second.size() - index));
  // The comment after the index grows, and so does every distance from the index on.
  for (const char* comment : {"a much longer comment than before", ""}) {
    SCOPED_TRACE(comment);
    Opened f(file);
    ASSERT_TRUE(f.container.SetComment(comment));
    ASSERT_EQ(f.Save(), "");
    const std::string saved = ReadBytes(f.path);
    const size_t at = saved.find("MPF") + 4;
    const std::string segment = SegmentsWith(SplitJpeg(saved), 0xE2).at(0);
    // The index is the block's last bytes: two 16-byte entries of attributes, size, offset.
    const auto field = [&segment](size_t from) {
      uint32_t value = 0;
      for (size_t i = 4; i-- > 0;) value = value << 8 | static_cast<unsigned char>(segment[from + i]);
      return value;
    };
    const uint32_t offset = field(segment.size() - 8);
    // The first picture, the file up to its image data's end, grew as much as the file.
    EXPECT_EQ(int64_t{field(segment.size() - 28)} - 1000,
              static_cast<int64_t>(saved.size()) - static_cast<int64_t>(file.size()));
    EXPECT_EQ(saved.substr(at + offset), second);
  }
}

TEST(JpegWriter, ANewHeaderThatWouldReadDifferentlyIsRefusedAndTheFileKept) {
  TiffBuilder tiff;
  tiff.Ascii(0, 0x010F, "Canon").Short(0, 0x0112, {6}).Ascii(0, 0x0132, "2020:01:01 10:00:00");
  const std::string file = JpegBuilder().Exif(tiff.Build()).Comment("keep").Build();
  struct Case {
    const char* name;
    std::function<void(std::string&)> alter;
    const char* difference;
  };
  const Case cases[] = {
      {"a tag nobody edited", [](std::string& h) { h.replace(h.find("Canon"), 5, "Nikon"); }, "EXIF tag Make"},
      {"a segment nobody edited", [](std::string& h) { h.replace(h.find("keep"), 4, "lost"); }, "segment list"},
      {"a segment dropped", [](std::string& h) { h.erase(h.find(Segment(0xFE, "keep")), 8); }, "segment list"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Opened f(file);
    ASSERT_TRUE(f.container.Exif()->SetValueByName("Orientation", 1));
    std::string error;
    JpegImage image;
    ASSERT_TRUE(image.Load(*f.file.file, error));
    EXPECT_FALSE(f.container.SaveWithImage(image, f.path, true, error, c.alter));
    EXPECT_EQ(error, std::string("not rewritten: the new file would not read the same (") +
                         c.difference + ")");
    EXPECT_EQ(ReadBytes(f.path), file);
    EXPECT_TRUE(std::filesystem::is_empty(f.dir.path()) ||
                std::distance(std::filesystem::directory_iterator(f.dir.path()), {}) == 1);
  }
  // The edit itself is what may differ.
  Opened f(file);
  ASSERT_TRUE(f.container.Exif()->SetValueByName("Orientation", 1));
  EXPECT_EQ(f.Save(), "");
}

TEST(JpegWriter, ACutExifSegmentIsWrittenAtItsNewLength) {
  Opened f(JpegBuilder().Exif(SmallExif() + std::string(4, '\0')).Build());
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
