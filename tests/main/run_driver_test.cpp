#include "main/run_driver.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fixtures/sample_photos.h"
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

// Whole runs over more text than the lists keep in memory give the bytes of a run that
// keeps everything in memory: on the console, in the -o file and in the logs.
class SpilledRun : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string photos[] = {test::HarbourPhoto(), test::MeadowPhoto(), test::ScanPhoto()};
    for (int i = 0; i < 40; ++i) {
      dir_.Write("photos/" + std::to_string(i) + ".jpg", photos[i % 3]);
    }
    unreadable_ = dir_.Unreadable("photos/locked.jpg").has_value();
  }
  struct Result {
    std::string console;
    std::string info;
    std::string errors;
  };
  Result Run(std::vector<std::string> args, size_t memoryBound) {
    platform::Console console(platform::Console::Target::Memory);
    args.push_back(dir_.path() + "photos/*.jpg");
    EXPECT_EQ(RunProgram(args, {dir_.path(), "pixmeta"}, console, memoryBound), 0);
    // The first line of the information log holds the time of the run.
    std::string info = test::ReadBytes(dir_.path() + "pixmeta-info.txt");
    info.erase(0, info.find('\n'));
    return {console.Captured(), info, test::ReadBytes(dir_.path() + "pixmeta-error.txt")};
  }
  test::TempDir dir_;
  bool unreadable_ = false;
};

TEST_F(SpilledRun, TheConsoleAndTheLogsGetTheSameBytes) {
  const Result memory = Run({"-q", "-s", "-ori"}, OutputSpool::kDefaultMemoryBound);
  const Result spilled = Run({"-q", "-s", "-ori"}, 256);
  ASSERT_GT(memory.console.size(), 40 * 1000u);
  EXPECT_EQ(spilled.console, memory.console);
  EXPECT_EQ(spilled.info, memory.info);
  EXPECT_EQ(spilled.errors, memory.errors);
  if (unreadable_) {
    EXPECT_THAT(memory.errors, ::testing::HasSubstr("locked.jpg: imgsize exception"));
  }
}

TEST_F(SpilledRun, OutputStillFollowsWhatTheLoopWritesToTheConsole) {
  // Debug lines come during the loop, so the output list is held back until its end.
  const Result memory = Run({"-l=9", "-s"}, OutputSpool::kDefaultMemoryBound);
  const Result spilled = Run({"-l=9", "-s"}, 256);
  EXPECT_EQ(spilled.console, memory.console);
  const size_t lastFileLine = memory.console.rfind("#file:");
  const size_t firstReport = memory.console.find("[Filename]");
  ASSERT_NE(lastFileLine, std::string::npos);
  EXPECT_LT(lastFileLine, firstReport);

  // So are the date lines, which go to the console even in quiet mode.
  const Result dates = Run({"-q", "-s", "-dt"}, OutputSpool::kDefaultMemoryBound);
  const Result spilledDates = Run({"-q", "-s", "-dt"}, 256);
  EXPECT_EQ(spilledDates.console, dates.console);
  EXPECT_LT(dates.console.rfind("9.jpg\t"), dates.console.find("[Filename]"));
}

TEST_F(SpilledRun, TheOutputFileGetsTheSameBytes) {
  const std::string out = dir_.path() + "out.txt";
  Run({"-q", "-s", "-o=" + out}, OutputSpool::kDefaultMemoryBound);
  const std::string memory = test::ReadBytes(out);
  Run({"-q", "-s", "-o=" + out}, 100);
  EXPECT_EQ(test::ReadBytes(out), memory);
  EXPECT_THAT(memory, ::testing::EndsWith("</dImageFile>\r\n\r\n\r\n\r\n"));
}

}  // namespace
}  // namespace pixmeta
