#include "util/file_patterns.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "fixtures/temp_dir.h"

namespace pixmeta {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using test::TempDir;

class PatternSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"b.jpg", "a.JPG", ".hidden.jpg", "notes.txt", "sub/c.jpg",
                             "sub/b.jpg", "sub/deeper/d.jpg", "Alpha/e.jpg", "Alpha/b.jpg",
                             ".cache/f.jpg"}) {
      dir_.Write(name, "x");
    }
  }
  static std::vector<std::string> Find(const std::string& pattern) {
    PatternSearch search(pattern, SearchesSubfolders(pattern));
    std::vector<std::string> found;
    std::string path;
    while (search.Next(path)) found.push_back(path);
    EXPECT_FALSE(search.Next(path));  // and it stays done
    return found;
  }
  TempDir dir_;
};

TEST_F(PatternSearchTest, AFolderPatternListsAFoldersFilesBeforeThoseOfItsSubfolders) {
  const std::string& d = dir_.path();
  EXPECT_THAT(Find(d + "*.jpg"),
              ElementsAre(d + "a.JPG", d + "b.jpg", d + "Alpha/b.jpg", d + "Alpha/e.jpg",
                          d + "sub/b.jpg", d + "sub/c.jpg", d + "sub/deeper/d.jpg"));
  EXPECT_THAT(Find(d + "?.jpg").size(), 7u);
}

TEST_F(PatternSearchTest, ABarePatternListsBareNamesOfTheCurrentFolder) {
  char old[4096];
  ASSERT_NE(::getcwd(old, sizeof old), nullptr);
  ASSERT_EQ(::chdir(dir_.path().c_str()), 0);
  EXPECT_THAT(Find("*.jpg"), ElementsAre("a.JPG", "b.jpg"));
  EXPECT_THAT(Find("./*.JPG"), ElementsAre("./a.JPG", "./b.jpg", "./Alpha/b.jpg", "./Alpha/e.jpg",
                                           "./sub/b.jpg", "./sub/c.jpg", "./sub/deeper/d.jpg"));
  EXPECT_THAT(Find("b.jpg"), ElementsAre("b.jpg"));
  ASSERT_EQ(::chdir(old), 0);
}

TEST_F(PatternSearchTest, ANameWithoutWildcardsNamesOneFileEvenWithAFolder) {
  const std::string& d = dir_.path();
  // sub/b.jpg and Alpha/b.jpg share the name, but only the file named is found.
  EXPECT_FALSE(SearchesSubfolders(d + "b.jpg"));
  EXPECT_THAT(Find(d + "b.jpg"), ElementsAre(d + "b.jpg"));
  EXPECT_THAT(Find(d + "sub/b.jpg"), ElementsAre(d + "sub/b.jpg"));
  EXPECT_THAT(Find(d + "A.JPG"), IsEmpty());  // exact means exact, letter case included
  EXPECT_THAT(Find(d + ".hidden.jpg"), IsEmpty());
  EXPECT_THAT(Find(d + "sub"), IsEmpty());  // a folder is not a file
  EXPECT_THAT(Find(d + "missing/b.jpg"), IsEmpty());
}

}  // namespace
}  // namespace pixmeta
