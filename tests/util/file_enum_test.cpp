#include "util/file_enum.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>

#include "fixtures/temp_dir.h"
#include "platform/clock.h"

namespace pixmeta {
namespace {

using ::testing::ElementsAre;
using test::TempDir;

class FindFiles83Test : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"b.jpg", "a.JPG", ".hidden.jpg", "notes.txt", "sub/c.jpg",
                             "sub/deeper/d.jpg", "Alpha/e.jpg", ".cache/f.jpg"}) {
      dir_.Write(name, "x");
    }
  }
  std::vector<std::string> Find(const std::string& pattern, bool recurse) {
    StringList longs;
    StringList shorts;
    found_ = FindFiles83(pattern, "", longs, recurse, shorts);
    EXPECT_EQ(longs.Lines(), shorts.Lines());
    return longs.Lines();
  }
  TempDir dir_;
  bool found_ = false;
};

TEST_F(FindFiles83Test, RecursionListsAFoldersFilesBeforeThoseOfItsSubfolders) {
  const std::string& d = dir_.path();
  EXPECT_THAT(Find(d + "*.jpg", true),
              ElementsAre(d + "a.JPG", d + "b.jpg", d + "Alpha/e.jpg", d + "sub/c.jpg",
                          d + "sub/deeper/d.jpg"));
  EXPECT_TRUE(found_);
}

TEST_F(FindFiles83Test, WithoutRecursionEntriesAreBareNames) {
  char old[4096];
  ASSERT_NE(::getcwd(old, sizeof old), nullptr);
  ASSERT_EQ(::chdir(dir_.path().c_str()), 0);
  EXPECT_THAT(Find("*.jpg", false), ElementsAre("a.JPG", "b.jpg"));
  EXPECT_THAT(Find("./*.JPG", true),
              ElementsAre("./a.JPG", "./b.jpg", "./Alpha/e.jpg", "./sub/c.jpg", "./sub/deeper/d.jpg"));
  ASSERT_EQ(::chdir(old), 0);
}

TEST_F(FindFiles83Test, NothingFoundAndListsAccumulate) {
  EXPECT_TRUE(Find(dir_.path() + "*.png", true).empty());
  EXPECT_FALSE(found_);
  StringList longs;
  StringList shorts;
  EXPECT_TRUE(FindFiles83(dir_.path() + "b.jpg", "", longs, false, shorts));
  // A later pattern that finds nothing still reports the earlier entries.
  EXPECT_TRUE(FindFiles83(dir_.path() + "*.gif", "", longs, false, shorts));
  EXPECT_THAT(longs.Lines(), ElementsAre("b.jpg"));
}

TEST(PathParts, FolderNameAndExtension) {
  EXPECT_EQ(FolderPart("/photos/2010/a.jpg"), "/photos/2010/");
  EXPECT_EQ(FileNamePart("/photos/2010/a.jpg"), "a.jpg");
  EXPECT_EQ(ExtensionPart("/photos/2010/a.b.JPG"), ".JPG");
  EXPECT_EQ(FolderPart("a.jpg"), "");
  EXPECT_EQ(FileNamePart("a.jpg"), "a.jpg");
  // A point in a folder name is no extension.
  EXPECT_EQ(ExtensionPart("dir.jpg/photo"), "");
  EXPECT_EQ(ExtensionPart("photo."), ".");
  EXPECT_EQ(FileNamePart("photos/"), "");
}

TEST(NormalizeSlashes, CollapsesRunsButKeepsALeadingPair) {
  EXPECT_EQ(NormalizeSlashes("/photos//2010///a.jpg"), "/photos/2010/a.jpg");
  EXPECT_EQ(NormalizeSlashes("//server/share"), "//server/share");
  EXPECT_EQ(NormalizeSlashes("///x"), "//x");
  EXPECT_EQ(NormalizeSlashes(""), "");
}

TEST(FileTimes, ModifiedUtcIsTakenWithoutLocalTime) {
  TempDir dir;
  const std::string path = dir.Write("a.jpg", "x");
  setenv("TZ", "America/New_York", 1);
  tzset();
  // 2010-06-01 12:00:00 UTC
  const timespec times[2] = {{1275393600, 0}, {1275393600, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  const double days = FileModifiedUtc(path);
  EXPECT_DOUBLE_EQ(days - std::floor(days), 0.5);
  EXPECT_EQ(FileModifiedUtc(dir.path() + "missing.jpg"), 0.0);
  unsetenv("TZ");
  tzset();
}

TEST(FileTimes, SetFileDatesStoresLocalTimeAndLeavesAZeroTimeAlone) {
  TempDir dir;
  const std::string path = dir.Write("a.jpg", "x");
  setenv("TZ", "Europe/Stockholm", 1);
  tzset();
  const timespec before[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), before, 0), 0);
  const double local = platform::EncodeDayCount({2010, 6, 1, 12, 0, 0}).value();
  std::string error;
  ASSERT_TRUE(SetFileDates(path, local, 0, local, error)) << error;
  struct stat st{};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1275386400);  // 12:00 summer time is 10:00 UTC
  EXPECT_EQ(st.st_atim.tv_sec, 1000000000);
  EXPECT_FALSE(SetFileDates(dir.path() + "missing.jpg", 0, 0, local, error));
  EXPECT_FALSE(error.empty());
  unsetenv("TZ");
  tzset();
}

TEST(ProgramLocation, BaseNameDropsTwelveCharactersFromTheFirstPoint) {
  EXPECT_EQ(ProgramBaseName("pixmeta"), "pixmeta");
  EXPECT_EQ(ProgramBaseName("pixmeta.exe"), "pixmeta");
  EXPECT_EQ(ProgramBaseName("pixmeta.0123456789abcdef"), "pixmetabcdef");
  const ProgramLocation here = FindProgramLocation();
  EXPECT_EQ(here.programDir.front(), '/');
  EXPECT_EQ(here.programDir.back(), '/');
  EXPECT_EQ(here.programBaseName, "pixmeta_tests");
}

}  // namespace
}  // namespace pixmeta
