#include "util/file_patterns.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "fixtures/temp_dir.h"

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

}  // namespace
}  // namespace pixmeta
