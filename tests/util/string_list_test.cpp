#include "util/string_list.h"

#include <gtest/gtest.h>

#include "fixtures/temp_dir.h"

namespace pixmeta {
namespace {

TEST(StringList, ValueOfTakesTheFirstLineWhoseKeyMatchesIgnoringCase) {
  StringList list;
  list.Add("[Size]");
  list.Add("ImageWidth=640");
  list.Add("Orientation=Normal=1");
  list.Add("imagewidth=99");
  list.Add("Empty=");
  EXPECT_EQ(list.ValueOf("IMAGEWIDTH"), "640");
  EXPECT_EQ(list.ValueOf("Orientation"), "Normal=1");
  EXPECT_EQ(list.ValueOf("Empty"), "");
  EXPECT_EQ(list.ValueOf("[Size]"), "");
  EXPECT_EQ(list.ValueOf("Image"), "");
}

TEST(StringList, TextAndSavedFileEndEveryLineWithCrLf) {
  StringList list;
  list.Add("one");
  list.Add("");
  list.Add("Rotated 180\xB0");
  EXPECT_EQ(list.Text(), "one\r\n\r\nRotated 180\xB0\r\n");

  test::TempDir dir;
  std::string error;
  ASSERT_TRUE(list.SaveToFile(dir.path() + "out.txt", error)) << error;
  EXPECT_EQ(test::ReadBytes(dir.path() + "out.txt"), "one\r\n\r\nRotated 180\xC2\xB0\r\n");
  EXPECT_FALSE(list.SaveToFile(dir.path() + "missing/out.txt", error));
  EXPECT_EQ(error, "No such file or directory");
}

}  // namespace
}  // namespace pixmeta
