#include <gtest/gtest.h>

#include <cstdio>

#include "exif/image_info.h"
#include "exif/value_format.h"
#include "exif_fixture.h"
#include "fixtures/maker_note_builder.h"
#include "makernotes/maker_note_decoder.h"

namespace pixmeta::test {
namespace {

constexpr uint16_t kTagImageWidth = 0x0100, kTagImageLength = 0x0101;
constexpr uint16_t kTagDescription = 0x010E, kTagMake = 0x010F, kTagOrientation = 0x0112;
constexpr uint16_t kTagXResolution = 0x011A, kTagDateTime = 0x0132, kTagArtist = 0x013B;
constexpr uint16_t kTagExifOffset = 0x8769, kTagOriginal = 0x9003, kTagDigitized = 0x9004;
constexpr uint16_t kTagMakerNote = 0x927C, kTagUserComment = 0x9286;
constexpr uint16_t kTagExifWidth = 0xA002, kTagExifLength = 0xA003;

// The EXIF segment as the container holds it: two length bytes, "Exif\0\0", the TIFF block.
std::string Segment(const TimgData& c) { return std::string(c.Slot(c.ExifSlot()).bytes); }

std::string Now(LoadedFile& f) { return Segment(f.container()); }

// bytes with text written over them from 1-based position pos.
std::string Patched(std::string bytes, int64_t pos, std::string_view text) {
  return bytes.replace(static_cast<size_t>(pos - 1), text.size(), text);
}

// A JPEG made anew around the edited segment, loaded from a file of its own.
std::unique_ptr<LoadedFile> Reload(const TimgData& c, MakerNoteReader makerNotes = nullptr) {
  const std::string segment = Segment(c);
  return std::make_unique<LoadedFile>(
      "saved.jpg", JpegBuilder().Add(0xE1, std::string_view(segment).substr(2)).Build(),
      makerNotes);
}

// Every test runs on a little-endian and a big-endian block.
class ExifEdit : public ::testing::TestWithParam<bool> {
 protected:
  TiffBuilder tiff_{GetParam()};
  int exif_ = tiff_.AddIfd();
  // Loads the block and notes its segment as loaded.
  std::unique_ptr<LoadedFile> Load() {
    TiffBuilder linked = tiff_;
    auto f = LoadedFile::Jpeg(linked.Link(0, kTagExifOffset, exif_));
    before_ = Segment(f->container());
    return f;
  }
  std::string U16(uint16_t v) const { return tiff_.U16(v); }
  std::string U32(uint32_t v) const { return tiff_.U32(v); }

  std::string before_;
};

INSTANTIATE_TEST_SUITE_P(ByteOrder, ExifEdit, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "MM" : "II"; });

TEST_P(ExifEdit, ShiftDatesMovesEveryDateByTheSameOffset) {
  tiff_.Ascii(0, kTagDateTime, "2007:01:02 08:00:00")
      .Ascii(exif_, kTagOriginal, "2006:12:31 23:30:00")
      .Ascii(exif_, kTagDigitized, "2006:12:30 10:00:00");
  auto f = Load();
  TImageInfo& exif = f->exif();
  EXPECT_EQ(exif.BestDate(), ParseExifDate("2006:12:31 23:30:00"));
  exif.ShiftDates(0, 1, 0, 0);
  std::string expected = Patched(before_, exif.dateTimePos, "2007:01:02 09:00:00");
  expected = Patched(expected, exif.dateTimeOriginalPos, "2007:01:01 00:30:00");
  expected = Patched(expected, exif.dateTimeDigitizedPos, "2006:12:30 11:00:00");
  EXPECT_EQ(Now(*f), expected);  // terminators and everything else unchanged
  EXPECT_EQ(exif.BestDate(), ParseExifDate("2007:01:01 00:30:00"));
  EXPECT_EQ(f->Value("DateTimeOriginal"), "2006:12:31 23:30:00");  // the list keeps its texts

  exif.ShiftDates(-1, -2, 29, -1);  // 1 day 1:31:01 back
  auto saved = Reload(f->container());
  EXPECT_EQ(saved->Value("DateTime"), "2007:01:01 07:28:59");
  EXPECT_EQ(saved->Value("DateTimeOriginal"), "2006:12:30 22:58:59");
  EXPECT_EQ(saved->Value("DateTimeDigitized"), "2006:12:29 09:28:59");
}

TEST_P(ExifEdit, ShiftDatesChangesOnlyValidDatesThatFitTheBlock) {
  tiff_.Ascii(0, kTagDateTime, "2006:12:31 23:30:00").Ascii(0, kTagArtist, "Anna");
  auto only = Load();
  EXPECT_EQ(only->exif().dateTimeOriginalPos, 0);
  EXPECT_EQ(only->exif().BestDate(), ParseExifDate("2006:12:31 23:30:00"));
  only->exif().ShiftDates(2, 0, 0, 0);
  EXPECT_EQ(Now(*only), Patched(before_, only->exif().dateTimePos, "2007:01:02 23:30:00"));

  tiff_ = TiffBuilder(GetParam());
  exif_ = tiff_.AddIfd();
  tiff_.Ascii(0, kTagDateTime, "0000:00:00 00:00:00")
      .Ascii(exif_, kTagOriginal, "2006:13:01 10:00:00")
      .Ascii(exif_, kTagDigitized, "9999:12:31 23:00:00");
  auto invalid = Load();
  TImageInfo& exif = invalid->exif();
  EXPECT_EQ(exif.BestDate(), 0);  // the original date comes first, and it is not valid
  exif.ShiftDates(1, 0, 0, 0);    // the digitized date would leave the year 9999
  EXPECT_EQ(Now(*invalid), before_);
  exif.ShiftDates(0, 0, 59, 59);
  EXPECT_EQ(Now(*invalid), Patched(before_, exif.dateTimeDigitizedPos, "9999:12:31 23:59:59"));

  // A date text at the end of the block, too short for 19 bytes.
  TiffBuilder shortDate(GetParam());
  auto cut = LoadedFile::Jpeg(shortDate.Ascii(0, kTagDateTime, "2006:12:31"));
  const std::string segment = Now(*cut);
  EXPECT_EQ(cut->exif().ReadDateAt(cut->exif().dateTimePos), 0);
  EXPECT_FALSE(cut->exif().WriteDateAt(cut->exif().dateTimePos, 40000.5));
  cut->exif().ShiftDates(1, 0, 0, 0);
  EXPECT_EQ(Now(*cut), segment);
}

TEST_P(ExifEdit, ShiftDatesMovesDatesBefore1900AcrossTheFirstDayOfTheCount) {
  tiff_.Ascii(0, kTagDateTime, "1899:12:29 23:00:00")
      .Ascii(exif_, kTagOriginal, "1005:07:14 21:42:05")
      .Ascii(exif_, kTagDigitized, "1899:12:30 01:00:00");
  auto f = Load();
  f->exif().ShiftDates(0, 2, 0, 0);
  auto saved = Reload(f->container());
  EXPECT_EQ(saved->Value("DateTime"), "1899:12:30 01:00:00");
  EXPECT_EQ(saved->Value("DateTimeOriginal"), "1005:07:14 23:42:05");
  EXPECT_EQ(saved->Value("DateTimeDigitized"), "1899:12:30 03:00:00");
}

TEST(ExifDateText, RoundsToTheNearestSecond) {
  // Day counts of whole seconds are rarely exact doubles; truncating would lose a second.
  for (int second = 0; second < 86400; second += 97) {
    char from[20];
    char to[20];
    const int h = second / 3600, m = second / 60 % 60, s = second % 60;
    std::snprintf(from, sizeof from, "2006:12:31 %02d:%02d:%02d", h, m, s);
    std::snprintf(to, sizeof to, "2007:01:01 %02d:%02d:%02d", h, m, s);
    EXPECT_EQ(ExifDateText(ParseExifDate(from) + 1.0), to) << from;
    EXPECT_EQ(ExifDateText(ParseExifDate(from) + 0.4 / 86400), from);
    EXPECT_EQ(ExifDateText(ParseExifDate(from) - 0.4 / 86400), from);
  }
  EXPECT_EQ(ExifDateText(ParseExifDate("2006:12:31 23:59:59") + 0.6 / 86400),
            "2007:01:01 00:00:00");
  EXPECT_EQ(ExifDateText(ParseExifDate("9999:12:31 23:59:59") + 0.6 / 86400), "");
}

TEST_P(ExifEdit, SetValueByNameWritesTheFirstElementInTheEntrysWidth) {
  // The SHORT's unused value bytes are not zero, so a 32-bit write would show.
  tiff_.Raw(0, kTagOrientation, 3, 1, U16(6) + "\xAA\xAA")
      .Raw(0, kTagImageWidth, 3, 3, U32(0x7FFF0000))  // an array far past the block
      .Rational(0, kTagXResolution, {{72, 1}})
      .Ascii(0, kTagMake, "Canon")
      .Long(exif_, kTagExifWidth, {640});
  auto f = Load();
  TImageInfo& exif = f->exif();
  const std::string orientation = f->Value("Orientation");
  EXPECT_TRUE(exif.SetValueByName("orientation", 1));
  EXPECT_TRUE(exif.SetValueByName("ExifImageWidth", 0x12345));
  const int64_t pos = exif.GetEntry("Orientation").position;
  std::string expected =
      Patched(before_, pos, GetParam() ? std::string("\0\x01", 2) : std::string("\x01\0", 2));
  expected = Patched(expected, exif.GetEntry("ExifImageWidth").position, U32(0x12345));
  for (const char* refused : {"ImageWidth", "XResolution", "Make", "WhiteBalance"}) {
    EXPECT_FALSE(exif.SetValueByName(refused, 1)) << refused;
  }
  EXPECT_EQ(Now(*f), expected);
  EXPECT_EQ(f->Value("Orientation"), orientation);

  auto saved = Reload(f->container());
  EXPECT_EQ(saved->exif().GetInt("Orientation"), 1);
  EXPECT_EQ(saved->exif().GetInt("ExifImageWidth"), 0x12345);
}

TEST_P(ExifEdit, SetTextByNameKeepsTheFieldSizeAndItsLastZero) {
  const std::string prefix("ASCII\0\0\0", 8);
  tiff_.Ascii(0, kTagArtist, "Someone").Undefined(exif_, kTagUserComment, prefix + "twelve chars");
  auto f = Load();
  TImageInfo& exif = f->exif();
  const std::string read = exif.userComment;
  EXPECT_TRUE(exif.SetTextByName("UserComment", prefix + "a comment longer than the field"));
  EXPECT_EQ(Now(*f),
            Patched(before_, exif.userCommentPos, prefix + std::string("a comment l\0", 12)));
  EXPECT_EQ(Reload(f->container())->exif().userComment, "a comment l");

  EXPECT_TRUE(exif.SetTextByName("usercomment", prefix + "Hi"));
  EXPECT_EQ(Now(*f), Patched(before_, exif.userCommentPos, prefix + "Hi" + std::string(10, '\0')));
  EXPECT_TRUE(exif.SetTextByName("Artist", "Nobody!!!"));
  EXPECT_FALSE(exif.SetTextByName("ImageDescription", "x"));
  auto saved = Reload(f->container());
  EXPECT_EQ(saved->exif().userComment, "Hi");
  EXPECT_EQ(saved->Value("Artist"), "Nobody!");
  EXPECT_EQ(Now(*f).size(), before_.size());
  EXPECT_EQ(exif.userComment, read);
}

TEST_P(ExifEdit, NoEditWritesBytesThatAnotherValueAlsoHolds) {
  const std::string prefix("ASCII\0\0\0", 8);
  const std::string comment = prefix + "sixteen chars..";
  // A text whose value starts inside the comment (its TIFF offset found by a first build),
  // and a rational whose 8 bytes end inside the date.
  const auto build = [&](uint32_t intoComment, uint32_t intoDate) {
    TiffBuilder tiff = tiff_;
    tiff.Ascii(exif_, kTagOriginal, "2020:01:01 10:00:00")
        .Undefined(exif_, kTagUserComment, comment)
        .Short(0, kTagOrientation, {6})
        .Raw(0, kTagArtist, 2, 12, tiff.U32(intoComment))
        .Raw(0, kTagXResolution, 5, 1, tiff.U32(intoDate));
    return tiff;
  };
  const std::string probe = build(0, 0).Build();
  const auto commentAt = static_cast<uint32_t>(probe.find(comment));
  const auto dateAt = static_cast<uint32_t>(probe.find("2020:01:01"));
  TiffBuilder tiff = build(commentAt + 10, dateAt + 12);
  auto f = LoadedFile::Jpeg(tiff.Link(0, kTagExifOffset, exif_));
  TImageInfo& exif = f->exif();
  before_ = Segment(f->container());
  EXPECT_TRUE(exif.ValueSharesBytes("UserComment"));
  EXPECT_FALSE(exif.SetTextByName("UserComment", prefix + "new"));
  EXPECT_EQ(exif.ShiftDates(1, 0, 0, 0), TImageInfo::DateShift::SharedBytes);
  EXPECT_EQ(Now(*f), before_);
  // A value that shares nothing is written.
  EXPECT_FALSE(exif.ValueSharesBytes("Orientation"));
  EXPECT_TRUE(exif.SetValueByName("Orientation", 1));
  EXPECT_EQ(f->container().ExifPatches().size(), 1u);
}

TEST_P(ExifEdit, AShiftThatFindsNoDateWritesNothing) {
  tiff_.Ascii(0, kTagDateTime, "0000:00:00 00:00:00").Ascii(0, kTagMake, "Canon");
  auto f = Load();
  EXPECT_EQ(f->exif().ShiftDates(1, 0, 0, 0), TImageInfo::DateShift::NothingToShift);
  EXPECT_EQ(Now(*f), before_);
  EXPECT_TRUE(f->container().ExifPatches().empty());
}

TEST_P(ExifEdit, UpdateDimensionsWritesTheLastEntriesEachInItsWidth) {
  tiff_.Short(0, kTagImageWidth, {640})
      .Short(0, kTagImageLength, {480})
      .Long(exif_, kTagExifWidth, {640})
      .Raw(exif_, kTagExifLength, 3, 1, U16(480) + "\xAA\xAA");
  auto f = Load();
  TImageInfo& exif = f->exif();
  ASSERT_EQ(exif.heightPos, exif.GetEntry("ExifImageLength").position);
  exif.UpdateDimensions(480, 640);  // unchanged: nothing is written
  EXPECT_EQ(Now(*f), before_);
  exif.UpdateDimensions(70000, 1600);  // a SHORT cannot hold the height
  EXPECT_EQ(Now(*f), Patched(before_, exif.widthPos, U32(1600)));
  exif.UpdateDimensions(1200, 1600);
  EXPECT_EQ(Now(*f),
            Patched(Patched(before_, exif.widthPos, U32(1600)), exif.heightPos, U16(1200)));
  EXPECT_EQ(exif.width, 640);

  auto saved = Reload(f->container());
  EXPECT_EQ(saved->exif().width, 1600);
  EXPECT_EQ(saved->exif().height, 1200);
  EXPECT_EQ(saved->exif().GetInt("ImageWidth"), 640);

  TiffBuilder noHeight(GetParam());
  auto zero =
      LoadedFile::Jpeg(noHeight.Short(0, kTagImageWidth, {640}).Short(0, kTagImageLength, {0}));
  const std::string segment = Now(*zero);
  zero->exif().UpdateDimensions(1200, 1600);
  EXPECT_EQ(Now(*zero), segment);
}

// A camera block: IFD0 with make and date, an Exif directory and IFD1 with a thumbnail,
// IFD1 after the Exif directory or before it.
class ThumbnailRemoval : public ::testing::Test {
 protected:
  TiffBuilder Camera(bool ifd1Last) {
    TiffBuilder tiff;
    exif_ = tiff.AddIfd();
    ifd1_ = tiff.AddIfd();
    if (!ifd1Last) std::swap(exif_, ifd1_);
    return tiff.Ascii(0, kTagMake, "Canon")
        .Ascii(0, kTagDateTime, "2006:12:31 23:30:00")
        .Link(0, kTagExifOffset, exif_)
        .Next(0, ifd1_)
        .Ascii(exif_, kTagOriginal, "2006:12:31 23:30:00")
        .Thumbnail(ifd1_, TinyJpeg(16, 16) + std::string(300, 'U'));
  }

  // Removes the thumbnail and checks what holds either way: IFD0's link to IFD1 is 0, and
  // the block loaded again has no thumbnail but all its other data.
  std::unique_ptr<LoadedFile> Remove(const TiffBuilder& tiff, MakerNoteReader notes = nullptr) {
    file_ = LoadedFile::Jpeg(tiff, notes);
    TImageInfo& exif = file_->exif();
    EXPECT_TRUE(file_->container().HasThumbnail());
    before_ = Segment(file_->container());
    link_ = tiff.IfdOffsets()[0] + TImageInfo::kJpegBase + 2 + 12 * 3;  // IFD0 has 3 entries
    EXPECT_EQ(exif.Read32(link_), exif.thumbOffset);
    EXPECT_TRUE(exif.RemoveThumbnail());
    auto saved = Reload(file_->container(), notes);
    EXPECT_FALSE(saved->container().HasThumbnail());
    EXPECT_EQ(saved->exif().thumbOffset, 0);
    EXPECT_EQ(saved->Value("DateTimeOriginal"), "2006:12:31 23:30:00");
    return saved;
  }
  std::string Unlinked() const { return Patched(before_, link_, std::string(4, '\0')); }

  int exif_ = 0;
  int ifd1_ = 0;
  std::unique_ptr<LoadedFile> file_;
  std::string before_;
  int64_t link_ = 0;  // position of IFD0's next-directory offset
};

TEST_F(ThumbnailRemoval, AThumbnailAtTheEndIsCutOff) {
  const TiffBuilder tiff = Camera(true);
  Remove(tiff);
  const TimgData& c = file_->container();
  const int64_t kept = file_->exif().thumbOffset + 8;
  EXPECT_EQ(file_->exif().thumbOffset, tiff.IfdOffsets()[static_cast<size_t>(ifd1_)]);
  EXPECT_EQ(c.Slot(c.ExifSlot()).length, kept);
  const std::string lengthField{static_cast<char>(kept >> 8), static_cast<char>(kept & 0xFF)};
  EXPECT_EQ(Segment(c), lengthField + Unlinked().substr(2, static_cast<size_t>(kept - 2)));
  EXPECT_TRUE(file_->exif().RemoveThumbnail());  // nothing more to cut
  EXPECT_EQ(Segment(c).size(), static_cast<size_t>(kept));
}

TEST_F(ThumbnailRemoval, OnlyPaddingAfterTheThumbnailIsCutWithIt) {
  // Bytes no directory names after the thumbnail, such as a maker note's preview image,
  // keep the block whole; zero or 0xFF padding goes with the thumbnail.
  for (const auto& [tail, cut] : {std::pair<std::string, bool>{std::string(64, '\0'), true},
                                  {std::string(64, '\xFF'), true},
                                  {TinyJpeg(8, 8), false},
                                  {std::string(63, '\0') + "P", false}}) {
    const TiffBuilder tiff = Camera(true);
    file_ = std::make_unique<LoadedFile>(
        "a.jpg", JpegBuilder().Exif(tiff.Build() + tail).Build());
    TImageInfo& exif = file_->exif();
    ASSERT_TRUE(file_->container().HasThumbnail());
    const size_t whole = Segment(file_->container()).size();
    EXPECT_TRUE(exif.RemoveThumbnail());
    const TimgData& c = file_->container();
    EXPECT_EQ(Segment(c).size(), cut ? static_cast<size_t>(exif.thumbOffset + 8) : whole)
        << tail.size();
    EXPECT_EQ(Segment(c).substr(Segment(c).size() - (cut ? 0 : tail.size())), cut ? "" : tail);
  }
}

TEST_F(ThumbnailRemoval, AnExifDirectoryAfterIfd1KeepsTheBlockWhole) {
  TiffBuilder tiff = Camera(false);
  auto saved = Remove(tiff.Undefined(exif_, kTagMakerNote, "maker note bytes"));
  EXPECT_EQ(Segment(file_->container()), Unlinked());
  EXPECT_EQ(saved->exif().makerNoteRaw, "maker note bytes");
}

TEST_F(ThumbnailRemoval, AValueAfterIfd1KeepsTheBlockWhole) {
  // Exif values point into the bytes behind the thumbnail image (the block ends in them and
  // perhaps one pad byte): a text, and a value that the maker note reads from the block.
  const auto pointing = [this](bool makerNote, uint32_t offset) {
    TiffBuilder tiff = Camera(true);
    if (!makerNote) return tiff.Raw(exif_, kTagDescription, 2, 20, tiff.U32(offset));
    MakerNoteBuilder(MakerNoteBuilder::Layout::kCanon)
        .Pointer(0x0009, 2, 20, offset)
        .AddTo(tiff, exif_);
    return tiff;
  };
  for (const bool makerNote : {false, true}) {
    const auto offset = static_cast<uint32_t>(pointing(makerNote, 0).Build().size() - 21);
    auto saved = Remove(pointing(makerNote, offset), &ReadMakerNote);
    EXPECT_EQ(Segment(file_->container()), Unlinked());
    EXPECT_EQ(saved->Value(makerNote ? "OwnerName" : "ImageDescription"), std::string(20, 'U'));
  }
}

}  // namespace
}  // namespace pixmeta::test
