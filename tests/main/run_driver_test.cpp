#include "main/run_driver.h"

#include <gtest/gtest.h>

#include "fixtures/temp_dir.h"

namespace pixmeta {
namespace {

class OutputListTest : public ::testing::Test {
 protected:
  void AddKmlFrame() {
    run_.kmlHeader.Add("<head>");
    run_.kmlFooter.Add("</Document></kml>");
  }
  platform::Console console_{platform::Console::Target::Memory};
  RunContext run_{console_};
  test::TempDir dir_;
};

TEST_F(OutputListTest, ConsoleShowsAnEmptyLineTheItemsAndTwoEmptyLines) {
  run_.outputList.Add("a");
  run_.outputList.Add("[Size]\r\nImageWidth=1\r\n");  // a report item ends with its own line end
  EXPECT_TRUE(WriteOutputList(run_));
  EXPECT_EQ(console_.Captured(), "\na\n[Size]\nImageWidth=1\n\n\n\n");
}

TEST_F(OutputListTest, OutputFileHoldsTheReportFollowedByThreeEmptyLines) {
  run_.settings.outFile = dir_.Write("out.txt", "old content");
  run_.outputList.Add("[Size]\r\nImageWidth=1\r\n");
  EXPECT_TRUE(WriteOutputList(run_));
  EXPECT_EQ(test::ReadBytes(run_.settings.outFile), "[Size]\r\nImageWidth=1\r\n\r\n\r\n\r\n");
  EXPECT_EQ(console_.Captured(), "");
}

TEST_F(OutputListTest, KmlFrameSurroundsTheItems) {
  AddKmlFrame();
  run_.outputList.Add("<Placemark/>");
  run_.settings.outFile = dir_.path() + "out.kml";
  EXPECT_TRUE(WriteOutputList(run_));
  EXPECT_EQ(test::ReadBytes(run_.settings.outFile),
            "<head>\r\n<Placemark/>\r\n\r\n</Document></kml>\r\n\r\n");
  run_.settings.outFile.clear();
  EXPECT_TRUE(WriteOutputList(run_));
  EXPECT_EQ(console_.Captured(), "<head>\n\n<Placemark/>\n\n</Document></kml>\n\n");
}

TEST_F(OutputListTest, AnEmptyListWritesNothingAndLeavesTheFileAlone) {
  AddKmlFrame();
  run_.settings.outFile = dir_.Write("out.kml", "keep");
  EXPECT_TRUE(WriteOutputList(run_));
  EXPECT_EQ(test::ReadBytes(run_.settings.outFile), "keep");
  EXPECT_EQ(console_.Captured(), "");
}

TEST_F(OutputListTest, AFileThatCannotBeWrittenIsReported) {
  run_.outputList.Add("x");
  run_.settings.outFile = dir_.path() + "missing/out.txt";
  EXPECT_FALSE(WriteOutputList(run_));
  EXPECT_EQ(console_.Captured(),
            "#ERROR: " + run_.settings.outFile + ": No such file or directory\n");
}

}  // namespace
}  // namespace pixmeta
