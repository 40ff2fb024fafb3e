// The progress line: on a terminal's standard error only, never in the output or the logs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fixtures/cli_runner.h"
#include "fixtures/sample_photos.h"

namespace pixmeta::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// count photos in the sandbox's work folder; returns their names in order.
std::vector<std::string> WritePhotos(const CliSandbox& box, int count) {
  const std::string photo = HarbourPhoto();
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "p%04d.jpg", i);
    box.dir().Write("work/" + std::string(name), photo);
    names.emplace_back(name);
  }
  return names;
}

// The log without its title line, which holds the time of the run.
std::string LogAfterTitle(const std::string& log) { return log.substr(log.find('\n') + 1); }

// Every state the line went through: the texts between carriage returns, blanks trimmed.
std::vector<std::string> Frames(const std::string& err) {
  std::vector<std::string> frames;
  size_t start = 0;
  while (start <= err.size()) {
    size_t end = err.find('\r', start);
    if (end == std::string::npos) end = err.size();
    std::string frame = err.substr(start, end - start);
    frame.erase(frame.find_last_not_of(' ') + 1);
    if (!frame.empty()) frames.push_back(frame);
    start = end + 1;
  }
  return frames;
}

TEST(Progress, ShownOnATerminalOnlyAndClearedWhileOutputStaysTheSame) {
  CliSandbox box;
  std::vector<std::string> args = {"-gll", "-o=list.txt", "-s"};
  for (const std::string& name : WritePhotos(box, 500)) args.push_back(name);

  const CliResult plain = box.Run(args);
  ASSERT_EQ(plain.exitCode, 0);
  const std::string plainList = ReadBytes(box.work() + "list.txt");
  const std::string plainLog = LogAfterTitle(box.InfoLog());
  EXPECT_EQ(plain.err, "");

  const CliResult shown = box.RunOnTerminal(args);
  ASSERT_EQ(shown.exitCode, 0);
  EXPECT_EQ(shown.out, plain.out);
  EXPECT_EQ(ReadBytes(box.work() + "list.txt"), plainList);
  EXPECT_EQ(LogAfterTitle(box.InfoLog()), plainLog);
  EXPECT_THAT(plainList + plainLog, Not(HasSubstr("/500")));

  // More than a few hundred named files: shown from the first file on, with the count of
  // files in all, then blanked: the line ends in a carriage return after blanks only.
  const std::vector<std::string> frames = Frames(shown.err);
  ASSERT_FALSE(frames.empty()) << shown.err;
  EXPECT_EQ(frames.front(), "pixmeta: 1/500 p0000.jpg");
  for (const std::string& frame : frames) EXPECT_THAT(frame, HasSubstr("/500 p0")) << frame;
  EXPECT_EQ(shown.err.find('\n'), std::string::npos);
  ASSERT_GE(shown.err.size(), 2u);
  EXPECT_EQ(shown.err.back(), '\r');
  const size_t lastDrawn = shown.err.rfind('\r', shown.err.size() - 2);
  EXPECT_EQ(shown.err.find_first_not_of(' ', lastDrawn + 1), shown.err.size() - 1);
}

TEST(Progress, NeverWithQuietOrJsonNorForAShortRun) {
  CliSandbox box;
  const std::vector<std::string> names = WritePhotos(box, 400);
  for (const char* option : {"-q", "-j", "/q", "--json"}) {
    std::vector<std::string> args = {option, "-gll"};
    args.insert(args.end(), names.begin(), names.end());
    const CliResult r = box.RunOnTerminal(args);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "") << option;
  }
  // A handful of files read in far less than a second.
  const CliResult few = box.RunOnTerminal({"-gll", names[0], names[1], names[2]});
  EXPECT_EQ(few.exitCode, 0);
  EXPECT_EQ(few.err, "");
}

TEST(Progress, APatternShowsNoTotalAndLongNamesFitTheTerminal) {
  CliSandbox box;
  WritePhotos(box, 320);
  // Searched by pixmeta: the number of files is not known, the line comes once more than
  // a few hundred are done.
  const CliResult pattern = box.RunOnTerminal({"-gll", "*.jpg"});
  ASSERT_EQ(pattern.exitCode, 0);
  const std::vector<std::string> frames = Frames(pattern.err);
  ASSERT_FALSE(frames.empty());
  EXPECT_THAT(frames.front(), testing::StartsWith("pixmeta: 301/? p0300.jpg"));

  // A long name with a control character in it, on a narrow terminal: the end of the line
  // is kept within the width, and the escape byte never reaches the terminal.
  const std::string longName = std::string(60, 'x') + "\x1b[2J" + "_end.jpg";
  box.dir().Write("work/" + longName, HarbourPhoto());
  std::vector<std::string> args = {"-gll", longName};
  for (int i = 0; i < 330; ++i) args.push_back("p0000.jpg");
  const CliResult narrow = box.RunOnTerminal(args, "", 40);
  ASSERT_EQ(narrow.exitCode, 0);
  const std::vector<std::string> narrowFrames = Frames(narrow.err);
  ASSERT_FALSE(narrowFrames.empty());
  // 39 columns: the last one stays free.
  EXPECT_EQ(narrowFrames.front(), "..." + std::string(24, 'x') + "?[2J_end.jpg");
  EXPECT_EQ(narrow.err.find('\x1b'), std::string::npos);
  for (const std::string& frame : narrowFrames) EXPECT_LE(frame.size(), 39u) << frame;
}

}  // namespace
}  // namespace pixmeta::test
