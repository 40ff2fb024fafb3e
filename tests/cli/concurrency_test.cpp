// End-to-end tests of two pixmeta runs at the same time: both edit the same photos, and
// both edits land in every one of them; both write their logs, and each log is one run's
// whole text.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "fixtures/cli_runner.h"
#include "fixtures/jpeg_parts.h"
#include "fixtures/photo_folder.h"
#include "fixtures/sample_photos.h"

namespace pixmeta::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// Runs a and b at once, a from sandbox boxA and b from boxB.
std::pair<CliResult, CliResult> RunTogether(const CliSandbox& boxA, const std::vector<std::string>& a,
                                            const CliSandbox& boxB, const std::vector<std::string>& b,
                                            const std::string& cwd = "") {
  CliResult resultB;
  std::thread other([&] { resultB = boxB.Run(b, cwd); });
  CliResult resultA = boxA.Run(a, cwd);
  other.join();
  return {resultA, resultB};
}

std::vector<std::string> Prefixed(std::vector<std::string> args, const std::string& folder,
                                  const std::vector<std::string>& names) {
  for (const std::string& name : names) args.push_back(folder + name);
  return args;
}

std::string CommandOutput(const std::string& command) {
  const std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), &::pclose);
  std::string text;
  char buffer[4096];
  for (size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) {
    text.append(buffer, n);
  }
  return text;
}

int CountLines(const std::string& text, const std::string& line) {
  int count = 0;
  for (const std::string& each : SplitLines(text)) count += each == line ? 1 : 0;
  return count;
}

TEST(Concurrency, TwoRunsEditingTheSamePhotosBothLand) {
  constexpr int kPhotos = 100;
  CliSandbox shifter;
  const CliSandbox commenter;
  const std::string folder = shifter.work() + "photos/";
  const std::vector<std::string> names = WritePhotos(folder, {HarbourPhoto()}, kPhotos);
  const std::vector<std::string> backwards(names.rbegin(), names.rend());
  const std::string scan = SplitJpeg(HarbourPhoto()).scan;
  ASSERT_FALSE(scan.empty());

  // The first round takes the photos in the same order, so the two runs keep meeting on
  // one photo; the second in opposite orders, so they cross in the middle.
  const std::vector<std::string> shiftArgs = Prefixed({"-q", "-ad=1"}, folder, names);
  for (const auto& commentOrder : {names, backwards}) {
    const auto [shifted, commented] = RunTogether(
        shifter, shiftArgs, commenter, Prefixed({"-q", "-c=x"}, folder, commentOrder));
    EXPECT_EQ(shifted.exitCode, 0);
    EXPECT_EQ(commented.exitCode, 0);
    EXPECT_THAT(shifted.out, Not(HasSubstr("#ERROR")));
    EXPECT_THAT(commented.out, Not(HasSubstr("#ERROR")));
    EXPECT_EQ(shifter.ErrorLog(), "");
    EXPECT_EQ(commenter.ErrorLog(), "");
  }

  // Two days later, commented, each photo with its image data, and nothing else left.
  EXPECT_EQ(HiddenNames(folder), std::vector<std::string>{});
  for (const auto& [name, bytes] : ReadFolder(folder)) {
    const JpegParts parts = SplitJpeg(bytes);
    ASSERT_TRUE(parts.valid) << name;
    EXPECT_EQ(parts.scan, scan) << name;
    const std::vector<std::string> comments = SegmentsWith(parts, 0xFE);
    ASSERT_EQ(comments.size(), 1u) << name;
    EXPECT_EQ(comments[0].substr(4), "x") << name;
  }
  const CliSandbox reader;
  const CliResult report = reader.Run({"-s", folder + "*.jpg"});
  EXPECT_EQ(report.exitCode, 0);
  EXPECT_EQ(reader.ErrorLog(), "");
  for (const char* date : {"DateTime", "DateTimeOriginal", "DateTimeDigitized"}) {
    EXPECT_EQ(CountLines(report.out, std::string(date) + "=2011:07:16 21:42:05"), kPhotos)
        << date;
  }
  EXPECT_EQ(CountLines(report.out, "[Comment]"), kPhotos);
  EXPECT_EQ(CountLines(report.out, "x"), kPhotos);

  if (std::system("exiftool -ver >/dev/null 2>&1") != 0) {
    std::printf("exiftool is not installed (Debian package libimage-exiftool-perl): "
                "the photos were read back by pixmeta alone\n");
    return;
  }
  const std::string exiftool =
      CommandOutput("exiftool -q -m -S -DateTimeOriginal -Comment -Error '" + folder + "' 2>&1");
  EXPECT_EQ(CountLines(exiftool, "DateTimeOriginal: 2011:07:16 21:42:05"), kPhotos);
  EXPECT_EQ(CountLines(exiftool, "Comment: x"), kPhotos);
  EXPECT_THAT(exiftool, Not(HasSubstr("Error")));
}

// The log without the time in its title line, which differs from run to run.
std::string WithoutTimes(const std::string& log) {
  static const std::regex time(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)");
  return std::regex_replace(log, time, "<time>");
}

TEST(Concurrency, TwoRunsWritingTheirLogsLeaveEachLogWhole) {
  // Edits that every file refuses, so that both logs hold a line per file: logs larger than
  // a run keeps in memory, which it writes in several pieces. The runs name their files
  // in folders of different name lengths, so a log mixed from both shows; long names make
  // the logs large with few files.
  constexpr int kFiles = 500;
  const CliSandbox box;
  const std::string refused = box.dir().Write("refused.jpg", MeadowPhoto());
  std::filesystem::permissions(refused, std::filesystem::perms::owner_read);
  const std::string folderA = std::string(100, 'a') + "/";
  const std::string folderB = std::string(120, 'b') + "/";
  std::vector<std::string> names;
  for (const std::string& folder : {folderA, folderB}) {
    std::filesystem::create_directories(box.work() + folder);
  }
  for (int n = 0; n < kFiles; ++n) {
    names.push_back(std::string("p").append(std::to_string(n)).append(".jpg"));
    for (const std::string& folder : {folderA, folderB}) {
      std::filesystem::create_hard_link(refused, box.work() + folder + names.back());
    }
  }
  const std::vector<std::string> argsA = Prefixed({"-q", "-c=x"}, folderA, names);
  const std::vector<std::string> argsB = Prefixed({"-q", "-c=y"}, folderB, names);
  ASSERT_EQ(box.Run(argsA).exitCode, 0);
  const std::string infoA = WithoutTimes(box.InfoLog());
  const std::string errorA = WithoutTimes(box.ErrorLog());
  ASSERT_EQ(box.Run(argsB).exitCode, 0);
  const std::string infoB = WithoutTimes(box.InfoLog());
  const std::string errorB = WithoutTimes(box.ErrorLog());
  ASSERT_THAT(errorA, HasSubstr("#ERROR " + folderA + "p499.jpg: file is read-only"));
  ASSERT_THAT(errorB, HasSubstr("#ERROR " + folderB + "p499.jpg: file is read-only"));
  ASSERT_GT(errorA.size(), 64u << 10);

  for (int round = 0; round < 8; ++round) {
    const auto [ranA, ranB] = RunTogether(box, argsA, box, argsB);
    EXPECT_EQ(ranA.exitCode, 0);
    EXPECT_EQ(ranB.exitCode, 0);
    const std::string info = WithoutTimes(box.InfoLog());
    const std::string error = WithoutTimes(box.ErrorLog());
    EXPECT_TRUE(info == infoA || info == infoB) << "round " << round << ": " << info.size()
                                                << " bytes, not one run's information log";
    EXPECT_TRUE(error == errorA || error == errorB)
        << "round " << round << ": " << error.size() << " bytes, not one run's error log";
    EXPECT_EQ(HiddenNames(box.binDir()), std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace pixmeta::test
