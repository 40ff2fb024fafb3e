// End-to-end tests of a whole run: texts, exit codes, logs and file selection.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "fixtures/cli_runner.h"
#include "fixtures/jpeg_builder.h"

namespace pixmeta::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

const char* const kBanner1 = "Pixmeta Photo Tool v0.31, pixmeta";
const char* const kBanner2 = "by Pixmeta Team, https://pixmeta.example.org";
const char* const kSyntax = "Syntax: pixmeta [options] filename";
const char* const kHint = "        pixmeta -? for more help (--help)";
const char* const kNotFound = "#ERROR: file(s) not found: ";

// The "#file:" debug lines of a run, in order.
std::vector<std::string> FileLines(const CliResult& r) {
  std::vector<std::string> files;
  for (const std::string& line : SplitLines(r.out)) {
    if (line.starts_with("#file:")) files.push_back(line.substr(6));
  }
  return files;
}

TEST(Run, WithoutArgumentsPrintsTheSyntaxAndExitsWithOne) {
  CliSandbox box;
  const CliResult r = box.Run({});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_THAT(SplitLines(r.out), ElementsAre(kBanner1, kBanner2, kSyntax, kHint));
  EXPECT_EQ(r.err, "");
  EXPECT_FALSE(std::filesystem::exists(box.binDir() + "pixmeta-info.txt"));
}

TEST(Run, ShortHelpGoesOnInDebugModeAndLogsItsFlag) {
  CliSandbox box;
  const CliResult r = box.Run({"-?"});
  EXPECT_EQ(r.exitCode, 0);
  const auto lines = SplitLines(r.out);
  ASSERT_EQ(lines.size(), 25u + 3u);
  EXPECT_THAT(std::vector<std::string>(lines.begin() + 25, lines.end()),
              ElementsAre("#DEBUG-MODE", kSyntax, kNotFound));
  const auto log = box.InfoLog();
  EXPECT_TRUE(std::regex_match(log, std::regex("Pixmeta Photo Tool v0\\.31 "
                                               "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\r\n"
                                               "flag:-\\?\r\n")))
      << log;
  EXPECT_FALSE(std::filesystem::exists(box.binDir() + "pixmeta-error.txt"));
}

TEST(Run, LongHelpAndDebugLines) {
  CliSandbox box;
  const auto help = SplitLines(box.Run({"--help"}).out);
  ASSERT_EQ(help.size(), 45u + 3u);
  EXPECT_EQ(help[45], "#DEBUG-MODE");
  const auto debug = SplitLines(box.Run({"--debug", "none.jpg"}).out);
  EXPECT_THAT(debug, ElementsAre("#DEBUG-MODE", kBanner1, kBanner2, kSyntax, kHint, kNotFound));
}

TEST(Run, TheNotFoundLineIsPrintedAlsoWhenQuiet) {
  CliSandbox box;
  const CliResult r = box.Run({"-q", "nothing*.jpg", "-o=out.txt"});
  EXPECT_EQ(r.out, std::string(kNotFound) + "\n");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(box.InfoLog().substr(box.InfoLog().find("\r\n") + 2),
            "flag:-q\r\nflag:nothing*.jpg\r\nparam:-o=out.txt\r\n");
  EXPECT_FALSE(std::filesystem::exists(box.work() + "out.txt"));
}

TEST(Run, ShellEntryOptionsEndTheRunWithoutLogs) {
  CliSandbox box;
  const CliResult r = box.Run({"-install-kml"}, "", {"XDG_DATA_HOME=" + box.dir().path() + "data"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_THAT(r.out, HasSubstr("Directory Shell Extension Registered.."));
  EXPECT_FALSE(std::filesystem::exists(box.binDir() + "pixmeta-info.txt"));
}

class FileSelection : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string jpeg = JpegBuilder().Build();
    for (const char* name : {"b.jpg", "A.JPG", ".hidden.jpg", "note.txt", "sub/c.jpg",
                             "sub/inner/d.jpg", ".git/e.jpg", "zoo/f.jpg"}) {
      box_.dir().Write(std::string("work/") + name, jpeg);
    }
  }
  CliSandbox box_;
};

TEST_F(FileSelection, BarePatternsSearchOnlyTheCurrentFolder) {
  const CliResult r = box_.Run({"-l=9", "*.jpg"});
  EXPECT_THAT(FileLines(r), ElementsAre("A.JPG", "b.jpg"));
  const std::string log = box_.InfoLog();
  EXPECT_THAT(log, HasSubstr("param:-l=9\r\nflag:*.jpg\r\nfile:A.JPG\r\nfile:b.jpg\r\n"));
}

TEST_F(FileSelection, PatternsWithAFolderDescendDepthFirst) {
  EXPECT_THAT(FileLines(box_.Run({"-l=9", "./*.jpg"})),
              ElementsAre("./A.JPG", "./b.jpg", "./sub/c.jpg", "./sub/inner/d.jpg", "./zoo/f.jpg"));
  const std::string abs = box_.work() + "sub/*.JPG";
  EXPECT_THAT(FileLines(box_.Run({"-l=9", abs})),
              ElementsAre(box_.work() + "sub/c.jpg", box_.work() + "sub/inner/d.jpg"));
}

TEST_F(FileSelection, CommasSplitPatternsAndABlankPieceEndsTheList) {
  EXPECT_THAT(FileLines(box_.Run({"-l=9", "b.jpg,A.JPG", "b.jpg"})),
              ElementsAre("b.jpg", "A.JPG", "b.jpg"));
  EXPECT_THAT(FileLines(box_.Run({"-l=9", "b.jpg", " ", "A.JPG"})), ElementsAre("b.jpg"));
  // Exact names are exact: "a.jpg" is not "A.JPG".
  const CliResult r = box_.Run({"-l=9", "a.jpg"});
  EXPECT_THAT(FileLines(r), IsEmpty());
  EXPECT_THAT(r.out, HasSubstr(kNotFound));
}

TEST_F(FileSelection, EveryShellExpandedArgumentIsProcessedInOrder) {
  // As a shell hands over photos/*.jpg: one argument per file, each with its folder.
  const std::string jpeg = JpegBuilder().Build();
  std::vector<std::string> args = {"-l=9"};
  std::vector<std::string> expected;
  for (int i = 0; i < 1500; ++i) {
    const std::string name = "many/" + std::to_string(1500 - i) + ".jpg";
    box_.dir().Write("work/" + name, jpeg);
    args.push_back(name);
    expected.push_back(name);
  }
  // A file of the same name in a subfolder is not looked for.
  box_.dir().Write("work/many/alpha/1.jpg", jpeg);
  EXPECT_EQ(FileLines(box_.Run(args)), expected);
}

TEST_F(FileSelection, ANameWithAFolderIsNotSearchedForInSubfolders) {
  box_.dir().Write("work/photos/y.jpg", JpegBuilder().Build());
  box_.dir().Write("work/photos/alpha/y.jpg", JpegBuilder().Build());
  box_.dir().Write("work/photos/alpha/z.jpg", JpegBuilder().Build());
  EXPECT_THAT(FileLines(box_.Run({"-l=9", "photos/y.jpg", "photos/z.jpg"})),
              ElementsAre("photos/y.jpg"));
  // Quoted, a pattern with a folder still searches every folder below it.
  EXPECT_THAT(FileLines(box_.Run({"-l=9", "photos/*.jpg"})),
              ElementsAre("photos/y.jpg", "photos/alpha/y.jpg", "photos/alpha/z.jpg"));
}

TEST(Logs, ErrorsAreSavedAndPrintedAfterTheOutput) {
  CliSandbox box;
  box.dir().Write("work/a.jpg", JpegBuilder(8, 8).Build());
  if (!box.dir().Unreadable("work/locked.jpg")) GTEST_SKIP() << "no unreadable file here";
  const CliResult r = box.Run({"-q", "-s", "-nx", "*.jpg"});
  EXPECT_EQ(r.exitCode, 0);
  // The file that cannot be read is skipped whole: no report, not even its name.
  EXPECT_THAT(SplitLines(r.out),
              ElementsAre("", "[Filename]", "a.jpg", "[Size]", "ImageWidth=8", "ImageHeight=8",
                          "", "", "", "", "#ERROR: (This tool can not create EXIF segment)",
                          "#ERROR locked.jpg: imgsize exception", ""));
  EXPECT_EQ(box.ErrorLog(), "#ERROR locked.jpg: imgsize exception\r\n");
  // A later run without errors leaves the error log of this one.
  box.Run({"-q", "a.jpg"});
  EXPECT_EQ(box.ErrorLog(), "#ERROR locked.jpg: imgsize exception\r\n");
}

TEST(Logs, FallBackToTheStateFolderWhenTheProgramFolderCannotTakeThem) {
  CliSandbox box;
  std::filesystem::create_directories(box.binDir() + "pixmeta-info.txt");
  const CliResult r = box.Run({"-q", "x.jpg"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, std::string(kNotFound) + "\n");
  const std::string log = ReadBytes(box.stateDir() + "pixmeta/pixmeta-info.txt");
  EXPECT_THAT(log, StartsWith("Pixmeta Photo Tool v0.31 "));
  EXPECT_THAT(log, HasSubstr("flag:x.jpg\r\n"));
}

TEST(Logs, ALogThatCannotBeWrittenAnywhereIsReportedOnce) {
  CliSandbox box;
  std::filesystem::create_directories(box.binDir() + "pixmeta-info.txt");
  box.dir().Write("state", "a file where the state folder would be");
  const CliResult r = box.Run({"-q", "x.jpg"});
  EXPECT_EQ(r.exitCode, 0);
  const auto lines = SplitLines(r.out);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], "#ERROR: " + box.binDir() + "pixmeta-info.txt: Is a directory (log not written)");
}

}  // namespace
}  // namespace pixmeta::test
