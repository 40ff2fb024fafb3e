// End-to-end tests of the SQL statements: the image report of --sqlimgs and --sqlimgskeys
// and the size update of --navsqlupdate, line by line.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fixtures/cli_runner.h"
#include "fixtures/iptc_builder.h"
#include "fixtures/jpeg_builder.h"
#include "fixtures/sample_photos.h"
#include "fixtures/tiff_builder.h"
#include "fixtures/text_photo.h"

namespace pixmeta::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

std::string Keywords(std::initializer_list<std::string_view> words) {
  return IptcBuilder().Keywords(words).Payload();
}

// The output lines after the banner, whose lines begin with "# " in these modes too.
std::vector<std::string> Statements(const CliResult& r) {
  std::vector<std::string> lines = SplitLines(r.out);
  size_t first = 0;
  if (!lines.empty() && lines[0].starts_with("# Pixmeta Photo Tool")) {
    EXPECT_THAT(lines[1], ::testing::StartsWith("# by "));
    first = 2;
  }
  return {lines.begin() + static_cast<std::ptrdiff_t>(first), lines.end()};
}

TEST(SqlImageReport, FileWithoutExifGetsOnlyItsCommentLineInBothModes) {
  CliSandbox box;
  box.dir().Write("work/scan.jpg", ScanPhoto());
  for (const char* mode : {"--sqlimgs", "--sqlimgskeys"}) {
    const CliResult r = box.Run({mode, "scan.jpg"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_THAT(Statements(r), ElementsAre("# scan.jpg EXIF missing?")) << mode;
  }
}

TEST(SqlImageReport, FullBlockInOrderWithTagsSetBeforeTheCall) {
  CliSandbox box;
  box.dir().Write("work/IMG_1234.jpg",
                  TextPhoto({.make = "NIKON CORPORATION",
                         .model = "NIKON D70",
                         .description = "Say \"cheese\" C:\\tmp\\",
                         .artist = "JOHN SMITH",
                         .iptc = Keywords({"Anna", "Lake"})}));
  const CliResult r = box.Run({"-q", "--sqlimgs", "IMG_1234.jpg"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_THAT(
      Statements(r),
      ElementsAre("##", "# IMG_1234.jpg", "SET @i=null,@s=null,@f=null,@n=null;",
                  "SET @t=\"Anna,Lake\";", "CALL ImgsCheckUsersInTag(@p,@t,@s,@f,@n);",
                  "SELECT id INTO @i FROM imgs WHERE (projid=@p) and (left(nr,7)=\"IMG1234\") "
                  "and (dat=\"2012:03:04 05:06:07\");",
                  "UPDATE imgs SET signs=@s,fnames=@f,names=@n WHERE (id=@i) and (signs is null);",
                  "UPDATE imgs SET tags=@t WHERE (id=@i) and length(@t)>length(tags);",
                  "UPDATE imgs SET copy=\"John Smith, (NikonCorporationNikonD70)\" WHERE (id=@i);",
                  // The quote becomes an apostrophe; backslashes are doubled.
                  "UPDATE imgs SET title=\"Say 'cheese' C:\\\\tmp\\\\\" WHERE (id=@i) and "
                  "length(ifnull(title,\"\"))<8;"));
}

TEST(SqlImageReport, CameraItemAndEmptyTagsAndMissingDate) {
  CliSandbox box;
  box.dir().Write("work/a.jpg", TextPhoto({.make = "Canon", .model = "Canon EOS 5D", .date = ""}));
  const CliResult r = box.Run({"--sqlimgs", "a.jpg"});
  const std::vector<std::string> lines = Statements(r);
  ASSERT_EQ(lines.size(), 8u) << r.out;
  // An empty tags text still replaces the previous file's @t, and no tags update follows.
  EXPECT_EQ(lines[3], "SET @t=\"\";");
  EXPECT_THAT(lines[5], HasSubstr("(left(nr,1)=\"A\") and (dat=\"1899:12:30 00:00:00\");"));
  EXPECT_EQ(lines[7], "UPDATE imgs SET copy=\"(CanonEos5d)\" WHERE (id=@i);");
  EXPECT_THAT(r.out, Not(HasSubstr("SET tags=")));
  EXPECT_THAT(r.out, Not(HasSubstr("SET title=")));
}

TEST(SqlImageReport, KeysModeReportsOnlyFilesWithHashKeywords) {
  CliSandbox box;
  box.dir().Write("work/plain.jpg", TextPhoto({.iptc = Keywords({"Anna", "Lake"})}));
  box.dir().Write("work/hashed.jpg", TextPhoto({.iptc = Keywords({"#anna", "#erik"})}));
  box.dir().Write("work/inner.jpg", TextPhoto({.iptc = Keywords({"lake #anna"})}));
  box.dir().Write("work/none.jpg", TextPhoto({}));
  const CliResult r =
      box.Run({"--sqlimgskeys", "plain.jpg", "hashed.jpg", "inner.jpg", "none.jpg"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_THAT(r.out, Not(HasSubstr("plain.jpg")));
  EXPECT_THAT(r.out, Not(HasSubstr("none.jpg")));
  EXPECT_THAT(r.out, HasSubstr("# hashed.jpg\nSET @i=null,@s=null,@f=null,@n=null;\n"
                               "SET @t=\"#anna,#erik\";\n"));
  EXPECT_THAT(r.out, HasSubstr("# inner.jpg\nSET @i=null,@s=null,@f=null,@n=null;\n"
                               "SET @t=\"#lake #anna\";\n"));
}

TEST(SqlImageReport, TextsCannotEndTheirLiteralOrTheirLine) {
  CliSandbox box;
  // A backslash at the very end would otherwise escape the closing quote; a line break in
  // the caption or the file name would otherwise start a statement of its own.
  const std::string iptc = IptcBuilder()
                               .Add(2, 120, "x\r\nDROP TABLE imgs; -- \\")
                               .Keywords({"a\"b;c"})
                               .Payload();
  box.dir().Write("work/new\nDROP TABLE imgs;.jpg", TextPhoto({.iptc = iptc}));
  const CliResult r = box.Run({"--sqlimgs", "new\nDROP TABLE imgs;.jpg"});
  EXPECT_EQ(r.exitCode, 0);
  for (const std::string& line : Statements(r)) {
    EXPECT_FALSE(line.starts_with("DROP")) << r.out;
  }
  EXPECT_THAT(r.out, HasSubstr("\n# new\\nDROP TABLE imgs;.jpg\n"));
  EXPECT_THAT(r.out, HasSubstr("SET @t=\"a'b;c\";"));
  EXPECT_THAT(r.out, HasSubstr("SET title=\"x\\r\\nDROP TABLE imgs, -- \\\\\" WHERE"));
}

TEST(SqlImageReport, DateShiftOfTheSameRunIsReported) {
  CliSandbox box;
  box.dir().Write("work/a.jpg", TextPhoto({}));
  const CliResult r = box.Run({"-q", "-ad=1", "--sqlimgs", "a.jpg"});
  EXPECT_THAT(r.out, HasSubstr("(dat=\"2012:03:05 05:06:07\")"));
}

TEST(SqlImageReport, Utf8FileNameGivesTheKeyOfItsWindows1252Form) {
  CliSandbox box;
  box.dir().Write("work/\xC3\x89t\xC3\xA9 2010.jpg", TextPhoto({}));
  box.dir().Write("work/\xC9t\xE9 2010.jpg", TextPhoto({}));
  const CliResult r = box.Run({"--sqlimgs", "\xC3\x89t\xC3\xA9 2010.jpg", "\xC9t\xE9 2010.jpg"});
  const std::string select = "(left(nr,7)=\"ETE2010\")";
  const size_t first = r.out.find(select);
  ASSERT_NE(first, std::string::npos) << r.out;
  EXPECT_NE(r.out.find(select, first + 1), std::string::npos) << r.out;
}

TEST(SqlSizeUpdate, EachClassFolderOfThePathGetsItsUpdate) {
  CliSandbox box;
  box.dir().Write("web/o/2010/IMG_1.jpg", TextPhoto({}, 1600, 1200));
  box.dir().Write("web/t/l/x.jpg", TextPhoto({}, 16, 8));
  box.dir().Write("web/other/IMG_2.jpg", TextPhoto({}, 16, 8));
  const std::string root = box.dir().path() + "web";
  const CliResult r = box.Run({"-q", "--navsqlupdate", root + "/o/2010/IMG_1.jpg",
                               root + "/t/l/x.jpg", root + "/other/IMG_2.jpg"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_THAT(
      Statements(r),
      ElementsAre("# " + root + "/o/2010/IMG_1.jpg",
                  "UPDATE imgs SET ud=ud,feo=\".jpg\",pxow=1600,pxoh=1200 WHERE (src=\"IMG_1\") "
                  "and (concat(\"/o/\",fp,src,\".jpg\")=\"/o/2010/IMG_1.jpg\");",
                  "# " + root + "/t/l/x.jpg",
                  // Classes in the order o, l, q, s, t.
                  "UPDATE imgs SET ud=ud,fel=\".jpg\",pxlw=16,pxlh=8 WHERE (src=\"x\") and "
                  "(concat(\"/l/\",fp,src,\".jpg\")=\"/l/x.jpg\");",
                  "UPDATE imgs SET ud=ud,fet=\".jpg\",pxtw=16,pxth=8 WHERE (src=\"x\") and "
                  "(concat(\"/t/\",fp,src,\".jpg\")=\"/t/l/x.jpg\");",
                  "# " + root + "/other/IMG_2.jpg"));
}

TEST(SqlSizeUpdate, NamesAreEscapedAndFilesWithoutSizeStopAtTheComment) {
  CliSandbox box;
  box.dir().Write("work/o/a\"b\\.jpg", TextPhoto({}, 20, 10));
  box.dir().Write("work/o/empty.jpg", "");
  const CliResult r = box.Run({"--navsqlupdate", "./o/a\"b\\.jpg", "./o/empty.jpg"});
  EXPECT_THAT(Statements(r),
              ElementsAre("# ./o/a\"b\\.jpg",
                          "UPDATE imgs SET ud=ud,feo=\".jpg\",pxow=20,pxoh=10 WHERE "
                          "(src=\"a\\\"b\\\\\") and "
                          "(concat(\"/o/\",fp,src,\".jpg\")=\"/o/a\\\"b\\\\.jpg\");",
                          "# ./o/empty.jpg"));
}

TEST(SqlReports, OutputListStillFollowsTheStatements) {
  CliSandbox box;
  box.dir().Write("work/harbour.jpg", HarbourPhoto());
  const CliResult r = box.Run({"-gll", "--navsqlupdate", "harbour.jpg"});
  EXPECT_THAT(Statements(r), ElementsAre("# harbour.jpg", "", "harbour.jpg\t59.329167\t18.067500",
                                         "", ""));
  EXPECT_THAT(box.ErrorLog(), IsEmpty());
}

}  // namespace
}  // namespace pixmeta::test
