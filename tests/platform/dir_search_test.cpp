#include "platform/dir_search.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "fixtures/temp_dir.h"

namespace pixmeta::platform {
namespace {

using ::testing::ElementsAre;
using test::TempDir;

TEST(WildcardMatch, MatchesWithoutRegardToCase) {
  EXPECT_TRUE(WildcardMatch("*.jpg", "IMG_1.JPG"));
  EXPECT_TRUE(WildcardMatch("img_?.jpg", "IMG_1.jpg"));
  EXPECT_FALSE(WildcardMatch("img_?.jpg", "IMG_10.jpg"));
  EXPECT_TRUE(WildcardMatch("*a*b*", "xxaxxbxx"));
  EXPECT_FALSE(WildcardMatch("*a*b", "xxaxxbxx"));
  EXPECT_TRUE(WildcardMatch("*", ""));
  EXPECT_FALSE(WildcardMatch("?", ""));
  EXPECT_TRUE(WildcardMatch("*.*", "README"));
  EXPECT_FALSE(WildcardMatch("*.jpg", "a.jpeg"));
}

TEST(ListFolder, SortsWithoutRegardToCaseAndSkipsHiddenEntries) {
  TempDir dir;
  for (const char* name : {"b.jpg", "A.JPG", "c.txt", ".hidden.jpg", "a.jpg"}) {
    dir.Write(name, "x");
  }
  dir.Write("Sub/x.jpg", "x");
  dir.Write(".secret/x.jpg", "x");
  dir.Write("aaa/x.jpg", "x");
  const auto listing = ListFolder(dir.path(), "*.jpg", true);
  ASSERT_TRUE(listing);
  EXPECT_THAT(listing->files, ElementsAre("A.JPG", "a.jpg", "b.jpg"));
  EXPECT_THAT(listing->folders, ElementsAre("aaa", "Sub"));
  EXPECT_TRUE(ListFolder(dir.path(), "*.jpg", false)->folders.empty());
}

TEST(ListFolder, ExactNamesAndLinks) {
  TempDir dir;
  dir.Write("photo.jpg", "x");
  dir.Write("real/inner.jpg", "x");
  ASSERT_EQ(::symlink((dir.path() + "real").c_str(), (dir.path() + "linkdir").c_str()), 0);
  ASSERT_EQ(::symlink((dir.path() + "photo.jpg").c_str(), (dir.path() + "link.jpg").c_str()), 0);
  ASSERT_EQ(::symlink("/nonexistent", (dir.path() + "dangling.jpg").c_str()), 0);

  EXPECT_THAT(ListFolder(dir.path(), "photo.jpg", false)->files, ElementsAre("photo.jpg"));
  // Without wildcards the name must be exact.
  EXPECT_TRUE(ListFolder(dir.path(), "PHOTO.jpg", false)->files.empty());
  EXPECT_THAT(ListFolder(dir.path(), "PHOTO.jpg", true)->folders, ElementsAre("real"));

  const auto all = ListFolder(dir.path(), "*", true);
  EXPECT_THAT(all->files, ElementsAre("link.jpg", "photo.jpg"));
  EXPECT_THAT(all->folders, ElementsAre("real"));  // the link to a folder is not entered

  const auto missing = ListFolder(dir.path() + "nope/", "*", true);
  ASSERT_TRUE(missing);
  EXPECT_TRUE(missing->files.empty());
}

TEST(ListFolder, AnExactNameOfAHiddenFileIsNotListed) {
  TempDir dir;
  dir.Write(".hidden.jpg", "x");
  dir.Write("shown.jpg", "x");
  EXPECT_TRUE(ListFolder(dir.path(), ".hidden.jpg", false)->files.empty());
  EXPECT_TRUE(ListFolder(dir.path(), ".hidden.jpg", true)->files.empty());
  EXPECT_THAT(ListFolder(dir.path(), "shown.jpg", false)->files, ElementsAre("shown.jpg"));
}

}  // namespace
}  // namespace pixmeta::platform
