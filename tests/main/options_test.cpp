#include "main/options.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <optional>

#include "fixtures/lines.h"
#include "fixtures/cli_runner.h"
#include "util/text_utils.h"

namespace pixmeta {
namespace {

using ::testing::ElementsAre;
using test::Lines;
using test::SplitLines;

class OptionsTest : public ::testing::Test {
 protected:
  // The settings view the arguments, so they are kept for the test's life.
  ParseOutcome Parse(std::vector<std::string> args) {
    return ParseCommandLine(kept_.emplace_back(std::move(args)), run_);
  }
  std::string FileArgs() const {
    std::string joined;
    for (auto arg = s_.fileArgs.Next(0); arg; arg = s_.fileArgs.Next(arg->second + 1)) {
      if (!joined.empty()) joined += ',';
      joined += arg->first;
    }
    return joined;
  }
  std::vector<std::string> Printed() const { return SplitLines(console_.Captured()); }

  std::deque<std::vector<std::string>> kept_;
  platform::Console console_{platform::Console::Target::Memory};
  RunContext run_{console_};
  const RunSettings& s_ = run_.settings;
};

TEST_F(OptionsTest, FlagsMatchWholeSpellingsInAnyLetterCase) {
  EXPECT_EQ(Parse({"-S", "/NX", "--IPTC:List", "-sfdy", "-GLL"}), ParseOutcome::Continue);
  EXPECT_TRUE(s_.show);
  EXPECT_FALSE(s_.xmlBlock);
  EXPECT_TRUE(s_.iptcList);
  EXPECT_TRUE(s_.fileDateFromName);
  EXPECT_FALSE(s_.setFileDate);  // "-sfdy" is not "-sfd"
  EXPECT_TRUE(s_.gpsList);
  EXPECT_EQ(FileArgs(), "");
}

TEST_F(OptionsTest, EveryFlagSpellingSetsItsField) {
  Parse({"--show", "/j", "-iptc", "--no_xml", "--gpslatlong", "/kml", "--datetime",
         "--orientation", "/rt", "--setfiledate", "--setfiledatehms", "-co", "--imagemagick",
         "--navsqlupdate", "/0", "--imgcrd"});
  EXPECT_TRUE(s_.show && s_.json && s_.quiet && s_.iptcList && s_.gpsList && s_.kml &&
              s_.dateList && s_.orientationList && s_.removeThumbnail && s_.setFileDate &&
              s_.fileTimeFromFile && s_.clearOrientation && s_.converterList && s_.navSqlUpdate);
  EXPECT_FALSE(s_.xmlBlock);
  EXPECT_EQ(s_.linePrefix, "# ");
  EXPECT_EQ(FileArgs(), "");
}

TEST_F(OptionsTest, UnknownFlagsAndBareParameterNamesBecomeFileArguments) {
  Parse({"a.jpg", "--clearorientation", "-o", "-l", "-s|--show", "b c.jpg"});
  EXPECT_EQ(FileArgs(), "a.jpg,--clearorientation,-o,-l,b c.jpg");
  EXPECT_FALSE(s_.clearOrientation);
  // A bar inside an argument can span two spellings of one row.
  EXPECT_TRUE(s_.show);
}

TEST_F(OptionsTest, ParametersAreTrimmedCutAndLogged) {
  const std::string longValue(100, 'x');
  Parse({" -C =" + longValue, "-s=1", "--Unknown=5", "name=with=eq.jpg", "-t=  Title  "});
  EXPECT_EQ(s_.commentText, std::string(80, 'x'));
  EXPECT_FALSE(s_.show);  // "-s=1" is a parameter, and no parameter is named "-s"
  EXPECT_EQ(s_.iptcCaption, "Title");
  EXPECT_EQ(FileArgs(), "");  // a name with "=" is never a file
  EXPECT_THAT(Lines(run_.infoLog),
              ElementsAre("param:-c=" + std::string(80, 'x'), "param:-s=1", "param:--unknown=5",
                          "param:name=with=eq.jpg", "param:-t=Title"));
  // The 80-character cut comes before the trimming.
  Parse({"-c=" + std::string(79, ' ') + "abc"});
  EXPECT_EQ(s_.commentText, "a");
}

TEST_F(OptionsTest, NumbersKeepTheirDefaultWhenInvalid) {
  Parse({"-l=300", "-ad=-3", "--adjusthours=x", "-am=+7", "--adjustseconds=99999999999"});
  EXPECT_EQ(s_.logLevel, 44);
  EXPECT_EQ(s_.adjustDays, -3);
  EXPECT_EQ(s_.adjustHours, 0);
  EXPECT_EQ(s_.adjustMinutes, 7);
  EXPECT_EQ(s_.adjustSeconds, 0);
  Parse({"-l=x"});
  EXPECT_EQ(s_.logLevel, 9);
  Parse({"--loglevel=-1"});
  EXPECT_EQ(s_.logLevel, 255);
}

TEST_F(OptionsTest, CommentTargetFollowsTheLastOfTheThreeOptions) {
  Parse({"--exifcomment=A", "-c=B"});
  EXPECT_EQ(s_.commentText, "B");
  EXPECT_FALSE(s_.commentToExif);
  Parse({"-c=B", "--usercomment=A"});
  EXPECT_EQ(s_.commentText, "A");
  EXPECT_TRUE(s_.commentToExif);
}

TEST_F(OptionsTest, IptcParametersKeepTheKeyAsWrittenAndTheLastOneWins) {
  Parse({"--IPTC:City=Paris"});
  EXPECT_EQ(s_.iptcKey, "City");
  EXPECT_EQ(s_.iptcValue, "Paris");
  Parse({"--iptc:  Source =Agency", "-key=a,b", "-cat=ABC", "-copy=(c) me", "-obj=Thing"});
  EXPECT_EQ(s_.iptcKey, "Source");
  EXPECT_EQ(s_.iptcValue, "Agency");
  EXPECT_EQ(s_.iptcKeywords, "a,b");
  EXPECT_EQ(s_.iptcCategory, "ABC");
  EXPECT_EQ(s_.iptcCopyright, "(c) me");
  EXPECT_EQ(s_.iptcObjectName, "Thing");
  EXPECT_EQ(Lines(run_.infoLog)[0], "param:--iptc:city=Paris");
}

TEST_F(OptionsTest, OtherParameters) {
  Parse({"-f=yyyy-mm-dd", "-sfdd=/tmp/out", "--out=list.txt", "-tag=x", "-o=a.txt", "-o=b.txt"});
  EXPECT_EQ(s_.dateFormat, "yyyy-mm-dd");
  EXPECT_EQ(s_.fileDateDir, "/tmp/out");
  EXPECT_EQ(s_.outFile, "b.txt");
}

TEST_F(OptionsTest, NoArgumentsPrintsTheSyntaxWithItsHint) {
  EXPECT_EQ(Parse({}), ParseOutcome::NoArguments);
  EXPECT_THAT(Printed(), ElementsAre("Pixmeta Photo Tool v0.31, pixmeta",
                                     "by Pixmeta Team, https://pixmeta.example.org",
                                     "Syntax: pixmeta [options] filename",
                                     "        pixmeta -? for more help (--help)"));
  EXPECT_TRUE(run_.infoLog.Empty());
}

TEST_F(OptionsTest, ShortHelpDropsTheHintAndRaisesTheLogLevel) {
  Parse({"-?"});
  const auto lines = Printed();
  ASSERT_EQ(lines.size(), 2u + 1u + 21u + 1u);
  EXPECT_EQ(lines[2], "Syntax: pixmeta [options] filename");
  EXPECT_EQ(lines[3], "Where options include: (--help, see more)");
  EXPECT_EQ(lines[18], "  -key,  --keywords=\"key1\\nkey2\", set IPTC Keywords");
  EXPECT_EQ(lines[23], "  --IPTC:List, list possible IPTC metadata keys");
  EXPECT_EQ(lines[24], "");
  EXPECT_EQ(s_.logLevel, 9);
  EXPECT_THAT(Lines(run_.infoLog), ElementsAre("flag:-?"));
}

TEST_F(OptionsTest, LongHelpAddsItsSecondHalf) {
  Parse({"--help"});
  const auto lines = Printed();
  ASSERT_EQ(lines.size(), 25u + 20u);
  EXPECT_EQ(lines[25], "== Export List:");
  EXPECT_EQ(lines[27], std::string(23, ' ') + "Output as filname TAB latitude TAB longitude");
  EXPECT_EQ(lines[28],
            "  -dt,   --datetime    Extract exif-datetime information, (format datetime "
            "-f=--format=yymmdd)");
  EXPECT_EQ(lines[44], " -install-kml|-uninstall-kml: install as shell context menu");
}

TEST_F(OptionsTest, QuietBeforeHelpSilencesItAfterDoesNot) {
  Parse({"-q", "-?", "--help"});
  EXPECT_EQ(console_.Captured(), "");
  EXPECT_EQ(s_.logLevel, 9);
  run_.settings = RunSettings();
  Parse({"-?", "-q"});
  EXPECT_EQ(Printed().size(), 25u);
}

TEST_F(OptionsTest, SqlOptionsPrefixTheBannerAndSyntaxLines) {
  Parse({"--sqlimgs", "-?"});
  const auto lines = Printed();
  EXPECT_EQ(lines[0], "# Pixmeta Photo Tool v0.31, pixmeta");
  EXPECT_EQ(lines[1], "# by Pixmeta Team, https://pixmeta.example.org");
  EXPECT_EQ(lines[2], "# Syntax: pixmeta [options] filename");
  EXPECT_EQ(lines[3], "Where options include: (--help, see more)");
  EXPECT_EQ(s_.sqlMode, 1);
  Parse({"--sqlimgskeys"});
  EXPECT_EQ(s_.sqlMode, 2);
}

TEST_F(OptionsTest, TheBannerIsPrintedOnce) {
  Parse({"-?", "-?"});
  const auto lines = Printed();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Pixmeta Photo Tool v0.31, pixmeta"), 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Syntax: pixmeta [options] filename"), 2);
}

TEST_F(OptionsTest, HashStringIsTheIdentHashOfTitleMakerAndAddress) {
  Parse({"-q", "--hashstr", "--debug"});
  EXPECT_EQ(console_.Captured(),
            std::to_string(IdentHash("Pixmeta Photo Tool" "Pixmeta Team"
                                     "https://pixmeta.example.org")) + "\n");
  EXPECT_EQ(s_.logLevel, 9);
  EXPECT_TRUE(s_.show);
}

TEST_F(OptionsTest, ShellEntryOptionsEndTheParse) {
  // The entry goes into a data folder of the test's own, never the user's.
  test::TempDir data;
  const char* saved = std::getenv("XDG_DATA_HOME");
  const std::optional<std::string> old = saved ? std::optional<std::string>(saved) : std::nullopt;
  ::setenv("XDG_DATA_HOME", data.path().c_str(), 1);
  EXPECT_EQ(Parse({"-s", "--install-kml", "x.jpg"}), ParseOutcome::ShellEntryDone);
  EXPECT_EQ(FileArgs(), "");
  EXPECT_EQ(Parse({"/Uninstall-KML"}), ParseOutcome::ShellEntryDone);
  if (old) {
    ::setenv("XDG_DATA_HOME", old->c_str(), 1);
  } else {
    ::unsetenv("XDG_DATA_HOME");
  }
  const std::vector<std::string> lines = Printed();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2],
            "Directory Shell Extension Registered.. (right click on directory in explorer)");
  EXPECT_EQ(lines.back(), "Directory Shell Extension Deleted from registy");
}

}  // namespace
}  // namespace pixmeta
