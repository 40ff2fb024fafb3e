#include "util/path_parts.h"

#include <gtest/gtest.h>

namespace pixmeta {
namespace {

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

}  // namespace
}  // namespace pixmeta
