// End-to-end tests of the edits: what each prints, what it writes, and that a rewrite keeps
// everything else of the file as it was.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "fixtures/cli_runner.h"
#include "fixtures/iptc_builder.h"
#include "fixtures/jpeg_builder.h"
#include "fixtures/jpeg_parts.h"
#include "fixtures/sample_photos.h"
#include "fixtures/tiff_builder.h"

namespace pixmeta::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr uint8_t kApp0 = 0xE0;
constexpr uint8_t kApp1 = 0xE1;
constexpr uint8_t kApp13 = 0xED;
constexpr uint8_t kCom = 0xFE;

const std::string kXmp = std::string("http://ns.adobe.com/xap/1.0/\0", 29) +
                         "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"></x:xmpmeta>";
const std::string kIcc = std::string("ICC_PROFILE\0\x01\x01", 14) + std::string(64, '\x11');

// A camera block whose pixel size matches the image (64 x 48), so a rewrite changes no
// value but the edited ones: dates, orientation 6, a user comment, a Canon maker note and
// a thumbnail.
std::string CameraExif(bool withDates = true) {
  TiffBuilder tiff(false);
  const int exif = tiff.AddIfd();
  const int ifd1 = tiff.AddIfd();
  tiff.Ascii(0, 0x010F, "Canon").Ascii(0, 0x0110, "Canon PowerShot S95").Short(0, 0x0112, {6});
  if (withDates) tiff.Ascii(0, 0x0132, "2011:07:14 21:42:05");
  tiff.Link(0, 0x8769, exif).Next(0, ifd1);
  tiff.Rational(exif, 0x829A, {{1, 60}});
  if (withDates) {
    tiff.Ascii(exif, 0x9003, "2011:07:14 21:42:05").Ascii(exif, 0x9004, "2011:07:14 21:42:06");
  }
  AddHarbourMakerNote(tiff, exif);
  tiff.Undefined(exif, 0x9286, std::string("ASCII\0\0\0Boats coming home\0", 26))
      .Long(exif, 0xA002, {64})
      .Long(exif, 0xA003, {48});
  tiff.Short(ifd1, 0x0103, {6}).Thumbnail(ifd1, TinyJpeg(160, 120));
  return tiff.Build();
}

// APP0, EXIF, XMP, ICC, IPTC and a comment, then the image's own tables and scan.
std::string CameraPhoto() {
  return JpegBuilder(64, 48)
      .App0()
      .Exif(CameraExif())
      .Add(kApp1, kXmp)
      .Add(0xE2, kIcc)
      .Add(kApp13, HarbourIptc())
      .Comment("Harbour at dusk")
      .Build();
}

struct Edited {
  std::string before;
  std::string after;
  CliResult run;
};

class EditTest : public ::testing::Test {
 protected:
  std::string Put(const std::string& name, const std::string& bytes) {
    return box_.dir().Write("work/" + name, bytes);
  }
  // Runs pixmeta with args on a file made of bytes.
  Edited Edit(const std::string& bytes, std::vector<std::string> args,
              const std::string& name = "p.jpg") {
    const std::string path = Put(name, bytes);
    args.push_back(name);
    Edited e{bytes, "", box_.Run(args)};
    e.after = ReadBytes(path);
    return e;
  }
  // The -s report without the XML block, from the line after the file name on.
  std::vector<std::string> Report(const std::string& bytes) {
    Put("r.jpg", bytes);
    std::vector<std::string> lines = SplitLines(box_.Run({"-s", "-nx", "-q", "r.jpg"}).out);
    const auto name = std::find(lines.begin(), lines.end(), "r.jpg");
    return name == lines.end() ? lines : std::vector<std::string>(name + 1, lines.end());
  }
  // The report lines of after that differ from before's.
  std::vector<std::string> Changes(const Edited& e) {
    const std::vector<std::string> was = Report(e.before);
    std::vector<std::string> changed;
    for (const std::string& line : Report(e.after)) {
      if (std::find(was.begin(), was.end(), line) == was.end()) changed.push_back(line);
    }
    return changed;
  }

  CliSandbox box_;
};

// The segments of a file that an edit of its metadata must keep byte for byte and in their
// order: all but the EXIF, APP13 and comment segments.
std::vector<std::pair<uint8_t, std::string>> KeptSegments(const JpegParts& parts) {
  std::vector<std::pair<uint8_t, std::string>> kept;
  for (const auto& [marker, bytes] : parts.segments) {
    const bool exif = marker == kApp1 && bytes.substr(4, 4) == "Exif";
    if (!exif && marker != kApp13 && marker != kCom) kept.emplace_back(marker, bytes);
  }
  return kept;
}

void ExpectOnlyMetadataRewritten(const Edited& e) {
  const JpegParts was = SplitJpeg(e.before);
  const JpegParts now = SplitJpeg(e.after);
  ASSERT_TRUE(now.valid);
  EXPECT_EQ(KeptSegments(now), KeptSegments(was));
  EXPECT_EQ(now.scan, was.scan);
  EXPECT_EQ(SegmentsWith(now, kApp1).size(), SegmentsWith(was, kApp1).size());
  EXPECT_LE(SegmentsWith(now, kApp13).size(), std::max<size_t>(1, SegmentsWith(was, kApp13).size()));
  EXPECT_LE(SegmentsWith(now, kCom).size(), std::max<size_t>(1, SegmentsWith(was, kCom).size()));
}

TEST_F(EditTest, DateShiftPrintsTheBestDateBeforeAndAfterAndMovesAllThreeDates) {
  const Edited e = Edit(CameraPhoto(), {"-ad=1"});
  EXPECT_THAT(SplitLines(e.run.out),
              Contains("DateTime adjusted: 2011:07:14 21:42:05 -> 2011:07:15 21:42:05"));
  EXPECT_THAT(Changes(e), ElementsAre("DateTime=2011:07:15 21:42:05",
                                      "DateTimeOriginal=2011:07:15 21:42:05",
                                      "DateTimeDigitized=2011:07:15 21:42:06"));
  ExpectOnlyMetadataRewritten(e);

  const Edited back = Edit(CameraPhoto(), {"-ah=-2", "-am=30"});
  EXPECT_THAT(SplitLines(back.run.out),
              Contains("DateTime adjusted: 2011:07:14 21:42:05 -> 2011:07:14 20:12:05"));
}

TEST_F(EditTest, DateShiftWithoutDatesChangesNothingAndWithoutExifIsAnError) {
  const std::string undated = JpegBuilder(64, 48).Exif(CameraExif(false)).Build();
  const Edited e = Edit(undated, {"-ad=1"});
  EXPECT_THAT(e.run.out, Not(HasSubstr("DateTime adjusted")));
  EXPECT_EQ(e.after, e.before);

  const Edited scan = Edit(ScanPhoto(), {"-ad=1"});
  EXPECT_EQ(scan.after, scan.before);
  EXPECT_THAT(box_.ErrorLog(), HasSubstr("#ERROR p.jpg: NO EXIF! DateTime can NOT be adjusted!"));
}

TEST_F(EditTest, OrientationIsClearedOnlyWhereItIsNotOne) {
  const Edited e = Edit(CameraPhoto(), {"-co"});
  EXPECT_THAT(SplitLines(e.run.out), Contains("p.jpg: Orientation cleared, 6 -> 1"));
  EXPECT_THAT(Changes(e), ElementsAre("Orientation=Normal"));
  ExpectOnlyMetadataRewritten(e);

  const Edited upright = Edit(MeadowPhoto(), {"-co"}, "m.jpg");
  EXPECT_EQ(upright.after, upright.before);
  EXPECT_THAT(upright.run.out, Not(HasSubstr("Orientation cleared")));
}

TEST_F(EditTest, ThumbnailRemovalIsReportedAndTheReloadShowsNone) {
  const Edited e = Edit(CameraPhoto(), {"-rt"});
  EXPECT_THAT(SplitLines(e.run.out), Contains("p.jpg: Thumbnail in jpg removed"));
  EXPECT_LT(e.after.size(), e.before.size() - 2000);
  const auto report = Report(e.after);
  EXPECT_THAT(report, Not(Contains("[Thumbnail]")));
  EXPECT_THAT(report, Contains("Model=Canon PowerShot S95"));
  ExpectOnlyMetadataRewritten(e);
}

TEST_F(EditTest, CommentIsSetOnceAndASecondRunChangesNothing) {
  const Edited e = Edit(MeadowPhoto(), {"-c=Hello"});
  EXPECT_THAT(SplitLines(e.run.out), Contains("p.jpg: JPEG Comment set to: \"Hello\""));
  EXPECT_EQ(SegmentsWith(SplitJpeg(e.after), kCom), std::vector<std::string>{"\xFF\xFE" + std::string("\x00\x07", 2) + "Hello"});
  struct stat first{};
  ASSERT_EQ(::stat((box_.work() + "p.jpg").c_str(), &first), 0);
  const CliResult again = box_.Run({"-c=Hello", "p.jpg"});
  EXPECT_THAT(again.out, Not(HasSubstr("JPEG Comment")));
  struct stat second{};
  ASSERT_EQ(::stat((box_.work() + "p.jpg").c_str(), &second), 0);
  EXPECT_EQ(second.st_ino, first.st_ino) << "not rewritten";
  EXPECT_EQ(ReadBytes(box_.work() + "p.jpg"), e.after);
}

TEST_F(EditTest, CommentPlusAppendsToEachFilesOwnCommentAndMinusEmptiesIt) {
  Put("a.jpg", CameraPhoto());
  Put("b.jpg", ScanPhoto());
  const CliResult r = box_.Run({"-c=+World", "a.jpg,b.jpg"});
  EXPECT_THAT(SplitLines(r.out),
              Contains("a.jpg: JPEG Comment \"Harbour at dusk\" -> \"Harbour at duskWorld\""));
  EXPECT_THAT(Report(ReadBytes(box_.work() + "a.jpg")), Contains("Harbour at duskWorld"));
  EXPECT_THAT(Report(ReadBytes(box_.work() + "b.jpg")), Contains("Scanned from a 1987 printWorld"));

  const Edited minus = Edit(CameraPhoto(), {"-c=-"});
  EXPECT_THAT(SplitLines(minus.run.out),
              Contains("p.jpg: JPEG Comment \"Harbour at dusk\" -> \"\""));
  EXPECT_EQ(SegmentsWith(SplitJpeg(minus.after), kCom),
            std::vector<std::string>{std::string("\xFF\xFE\x00\x02", 4)});
  ExpectOnlyMetadataRewritten(minus);

  const Edited none = Edit(MeadowPhoto(), {"-c=-"}, "m.jpg");
  EXPECT_EQ(none.after, none.before);
}

TEST_F(EditTest, AnEscapedLineBreakIsALineBreakInTheCommentButNotInTheUserComment) {
  const Edited e = Edit(MeadowPhoto(), {"-c=one\\ntwo"});
  EXPECT_THAT(SplitLines(e.run.out), Contains("p.jpg: JPEG Comment set to: \"one\\ntwo\""));
  EXPECT_EQ(SegmentsWith(SplitJpeg(e.after), kCom)[0].substr(4), "one\r\ntwo");

  const Edited user = Edit(CameraPhoto(), {"--exifcomment=Hi\\nthere"});
  EXPECT_THAT(SplitLines(user.run.out),
              Contains("p.jpg: EXIF UserComment \"Boats coming home\" -> \"Hi\\nthere\""));
  EXPECT_THAT(Changes(user), ElementsAre("UserComment=Hi\\nthere"));
  EXPECT_EQ(SegmentsWith(SplitJpeg(user.after), kApp1)[0].size(),
            SegmentsWith(SplitJpeg(user.before), kApp1)[0].size());
  ExpectOnlyMetadataRewritten(user);
}

TEST_F(EditTest, UserCommentNeedsExif) {
  const Edited e = Edit(ScanPhoto(), {"--exifcomment=Hi"});
  EXPECT_EQ(e.after, e.before);
  EXPECT_THAT(box_.ErrorLog(),
              HasSubstr("#ERROR p.jpg: EXIF do not exist, Comment can not be set."));
}

TEST_F(EditTest, CaptionOnAFileWithoutIptcCreatesTheBlock) {
  const Edited e = Edit(MeadowPhoto(), {"-t=Caption"});
  EXPECT_THAT(SplitLines(e.run.out), Contains("p.jpg: IPTC ImageCaption set to: \"Caption\""));
  const JpegParts parts = SplitJpeg(e.after);
  ASSERT_EQ(SegmentsWith(parts, kApp13).size(), 1u);
  EXPECT_THAT(Report(e.after), Contains("ImageCaption=Caption"));
  EXPECT_EQ(parts.scan, SplitJpeg(e.before).scan);
}

TEST_F(EditTest, UnknownIptcKeyIsAnErrorAndWritesNothing) {
  const Edited e = Edit(CameraPhoto(), {"--IPTC:Nonsense=1"});
  EXPECT_EQ(e.after, e.before);
  EXPECT_THAT(box_.ErrorLog(), HasSubstr("#ERROR p.jpg: IPTC Nonsense?"));
}

TEST_F(EditTest, KeywordsAreOneDataSetEachAndAnyLetterCaseFindsTheStoredValue) {
  const Edited plus = Edit(CameraPhoto(), {"-key=+,sunset\\nsea"});
  EXPECT_THAT(SplitLines(plus.run.out),
              Contains("p.jpg: IPTC Keywords \"harbour,boats,evening\" -> "
                       "\"harbour,boats,evening,sunset\\nsea\""));
  EXPECT_THAT(Changes(plus), ElementsAre("Keywords=sunset", "Keywords=sea"));
  const std::string app13 = SegmentsWith(SplitJpeg(plus.after), kApp13)[0];
  EXPECT_THAT(app13, HasSubstr(DataSet(2, 25, "sunset") + DataSet(2, 25, "sea")));
  ExpectOnlyMetadataRewritten(plus);

  // The stored value is found whatever the letter case of the key: the same value changes
  // nothing, "-" removes the key.
  const Edited same = Edit(CameraPhoto(), {"--IPTC:city=Stockholm"});
  EXPECT_EQ(same.after, same.before);
  const Edited removed = Edit(CameraPhoto(), {"--IPTC:city=-"});
  EXPECT_THAT(SplitLines(removed.run.out), Contains("p.jpg: IPTC city \"Stockholm\" -> \"\""));
  EXPECT_THAT(Report(removed.after), Not(Contains("City=Stockholm")));
  EXPECT_THAT(Report(removed.after), Contains("Copyright=(c) 2011 Anna Lind"));
}

TEST_F(EditTest, AnIptcBlockTooLargeForItsSegmentGoesOnInASecondOne) {
  // The caption fills most of a segment; 70 more bytes make the block too large for one.
  IptcBuilder iptc;
  iptc.Add(2, 120, std::string(65460, 'c'));
  const std::string photo = JpegBuilder(64, 48).Exif(CameraExif()).Add(kApp13, iptc.Payload()).Build();
  const Edited e = Edit(photo, {"-t=+" + std::string(70, 'x')});
  EXPECT_EQ(box_.ErrorLog(), "");
  const JpegParts parts = SplitJpeg(e.after);
  ASSERT_EQ(SegmentsWith(parts, kApp13).size(), 2u);
  EXPECT_EQ(KeptSegments(parts), KeptSegments(SplitJpeg(e.before)));
  EXPECT_THAT(Report(e.after), Contains("ImageCaption=" + std::string(65460, 'c') + std::string(70, 'x')));

  // Past what one data set can hold, the edit is refused and nothing is written.
  const Edited refused = Edit(e.after, {"-t=+" + std::string(70, 'x'), "-c=Hello"});
  EXPECT_EQ(refused.after, refused.before);
  EXPECT_THAT(box_.ErrorLog(), HasSubstr("#ERROR p.jpg: IPTC "));
}

TEST_F(EditTest, TwoEditsGiveOneWrite) {
  const std::string path = Put("p.jpg", CameraPhoto());
  const int watch = ::inotify_init1(IN_NONBLOCK);
  ASSERT_GE(watch, 0);
  ASSERT_GE(::inotify_add_watch(watch, box_.work().c_str(), IN_MOVED_TO), 0);
  const CliResult r = box_.Run({"-ad=1", "-c=Hello", "-co", "p.jpg"});
  alignas(inotify_event) char events[4096];
  int renames = 0;
  for (ssize_t n; (n = ::read(watch, events, sizeof events)) > 0;) {
    for (char* p = events; p < events + n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(p);
      if (event->len > 0 && std::string(event->name) == "p.jpg") ++renames;
      p += sizeof(inotify_event) + event->len;
    }
  }
  ::close(watch);
  EXPECT_EQ(renames, 1);
  EXPECT_THAT(Report(ReadBytes(path)), testing::IsSupersetOf({"Hello", "Orientation=Normal",
                                                              "DateTime=2011:07:15 21:42:05"}));
  // No temporary file is left beside the photo.
  for (const auto& entry : std::filesystem::directory_iterator(box_.work())) {
    EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
  }
}

TEST_F(EditTest, QuietSuppressesConfirmationsButStillWrites) {
  const Edited e = Edit(CameraPhoto(), {"-q", "-ad=1", "-co", "-c=Hi"});
  EXPECT_THAT(e.run.out, Not(HasSubstr("adjusted")));
  EXPECT_THAT(e.run.out, Not(HasSubstr("cleared")));
  EXPECT_THAT(e.run.out, Not(HasSubstr("JPEG Comment")));
  EXPECT_THAT(Report(e.after), Contains("Hi"));
}

}  // namespace
}  // namespace pixmeta::test
