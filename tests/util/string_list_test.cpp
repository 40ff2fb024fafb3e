#include "util/string_list.h"

#include <gtest/gtest.h>

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

TEST(StringList, TextEndsEveryLineWithCrLfAndALineMayHoldLineBreaks) {
  StringList list;
  list.Add("one");
  list.Add("");
  list.AddJoined({"Rotated ", "180", "\xB0"});
  list.Add("two\r\nKey=inside");
  EXPECT_EQ(list.Text(), "one\r\n\r\nRotated 180\xB0\r\ntwo\r\nKey=inside\r\n");
  ASSERT_EQ(list.Count(), 4u);
  EXPECT_EQ(list[2], "Rotated 180\xB0");
  EXPECT_EQ(list[3], "two\r\nKey=inside");
  // The line break inside a line does not start a line of its own.
  EXPECT_EQ(list.ValueOf("Key"), "");
  EXPECT_EQ(list.ValueOf("two\r\nKey"), "inside");
  StringList more;
  more.Add("Key=after");
  list.AddAll(more);
  EXPECT_EQ(list.ValueOf("key"), "after");
  EXPECT_EQ(list[4], "Key=after");
  list.Clear();
  EXPECT_TRUE(list.Empty());
  EXPECT_EQ(list.Text(), "");
}

TEST(StringList, AKeyWithAnEqualsSignMatchesNoLine) {
  StringList list;
  list.Add("a=b=c");
  EXPECT_EQ(list.ValueOf("a"), "b=c");
  EXPECT_EQ(list.ValueOf("a=b"), "");
}

}  // namespace
}  // namespace pixmeta
