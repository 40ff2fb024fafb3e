// The README's commands for a large collection, run as they stand over a tree of photos:
// several pixmeta runs at once, each over a batch, setting file dates and writing their
// lines into one output file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <map>
#include <string>
#include <vector>

#include "fixtures/cli_runner.h"
#include "fixtures/sample_photos.h"

namespace pixmeta::test {
namespace {

using ::testing::HasSubstr;

constexpr int kFolders = 10;
constexpr int kPerFolder = 250;
// The meadow photo's capture date, 2010-06-05 14:30:00, in UTC.
constexpr time_t kCaptureTime = 1275748200;

// The README's example lines: those that start with "find . " and use the given tool.
std::string ReadmeCommand(const std::string& tool) {
  for (const std::string& line : SplitLines(ReadBytes(std::string(PIXMETA_SOURCE_DIR) + "/README.md"))) {
    if (line.starts_with("find . ") && line.find("| " + tool + " ") != std::string::npos) {
      return line;
    }
  }
  return {};
}

// A tree of photos, some with blanks in their names; the names, relative to work().
std::vector<std::string> WriteTree(const CliSandbox& box) {
  const std::string photo = MeadowPhoto();
  std::vector<std::string> names;
  for (int f = 0; f < kFolders; ++f) {
    for (int i = 0; i < kPerFolder; ++i) {
      const std::string name = "./" + std::to_string(2000 + f) + " trip/sub/img " +
                               std::to_string(i) + (i % 2 == 0 ? ".jpg" : ".JPG");
      box.dir().Write("work/" + name.substr(2), photo);
      names.push_back(name);
    }
  }
  return names;
}

void RunAndCheck(const std::string& tool) {
  if (!HaveTool(tool)) GTEST_SKIP() << tool << " is not installed";
  const std::string command = ReadmeCommand(tool);
  ASSERT_FALSE(command.empty()) << "the README has no example with " << tool;
  ASSERT_THAT(command, HasSubstr("-n 500 pixmeta -q"));
  CliSandbox box;
  const std::vector<std::string> names = WriteTree(box);
  box.dir().Write("work/notes.txt", "not a photo");
  const CliResult r = RunCommand({"sh", "-c", command}, box.work(),
                                 {"PATH=" + box.binDir() + ":/usr/bin:/bin",
                                  "XDG_STATE_HOME=" + box.stateDir(), "HOME=" + box.stateDir(), "TZ=UTC"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");

  // Every photo got its capture date, and its line: one per photo, whole, nothing else
  // but blank lines.
  for (const std::string& name : names) {
    struct stat st {};
    ASSERT_EQ(::stat((box.work() + name).c_str(), &st), 0) << name;
    EXPECT_EQ(st.st_mtime, kCaptureTime) << name;
  }
  size_t lines = 0;
  for (const std::string& line : SplitLines(ReadBytes(box.work() + "file-dates.txt"))) {
    if (line.empty()) continue;
    ++lines;
    EXPECT_TRUE(line.starts_with("img ") && line.ends_with(" -> 2010-06-05 14:30:00")) << line;
  }
  EXPECT_EQ(lines, names.size());

  // The log holds one run's whole text: its title, its arguments, its batch's files.
  const std::vector<std::string> log = SplitLines(box.InfoLog());
  ASSERT_FALSE(log.empty());
  EXPECT_THAT(log[0], testing::StartsWith("Pixmeta Photo Tool v0.31 "));
  int titles = 0;
  int files = 0;
  for (const std::string& line : log) {
    titles += line.starts_with("Pixmeta Photo Tool") ? 1 : 0;
    files += line.starts_with("file:") ? 1 : 0;
  }
  EXPECT_EQ(titles, 1);
  EXPECT_GE(files, 1);
  EXPECT_LE(files, 500);
}

TEST(LargeCollection, ReadmeExampleWithXargs) { RunAndCheck("xargs"); }

TEST(LargeCollection, ReadmeExampleWithGnuParallel) { RunAndCheck("parallel"); }

}  // namespace
}  // namespace pixmeta::test
