// End-to-end tests of the metadata report, the orientation list and the output file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "fixtures/cli_runner.h"
#include "fixtures/jpeg_builder.h"
#include "fixtures/sample_photos.h"

namespace pixmeta::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsSupersetOf;
using ::testing::Not;
using ::testing::StartsWith;

class Report : public ::testing::Test {
 protected:
  void SetUp() override {
    harbour_ = box_.dir().Write("work/harbour.jpg", HarbourPhoto());
    meadow_ = box_.dir().Write("work/meadow.jpg", MeadowPhoto());
    scan_ = box_.dir().Write("work/scan.jpg", ScanPhoto());
  }
  std::vector<std::string> Show(std::vector<std::string> args) {
    const CliResult r = box_.Run(args);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
    return SplitLines(r.out);
  }
  static long Count(const std::vector<std::string>& lines, const std::string& line) {
    return std::count(lines.begin(), lines.end(), line);
  }
  CliSandbox box_;
  std::string harbour_;
  std::string meadow_;
  std::string scan_;
};

TEST_F(Report, OneFileShowsEverySectionInOrder) {
  const auto lines = Show({"-q", "-s", "harbour.jpg"});
  ASSERT_GT(lines.size(), 60u);
  EXPECT_EQ(lines[0], "");
  EXPECT_THAT(std::vector<std::string>(lines.begin() + 1, lines.begin() + 8),
              ElementsAre("[Size]", "ImageWidth=64", "ImageHeight=48", "[Thumbnail]",
                          lines[5], "[Comment]", "Harbour at dusk"));
  EXPECT_THAT(lines[5], ::testing::StartsWith("Length="));
  EXPECT_THAT(std::vector<std::string>(lines.begin() + 8, lines.begin() + 20),
              ElementsAre("[IPTC]", "ObjectName=Harbour",
                          "ImageCaption=Boats coming home to the harbour", "Keywords=harbour",
                          "Keywords=boats", "Keywords=evening", "City=Stockholm",
                          "LocationName=Sweden", "Copyright=(c) 2011 Anna Lind", "[Exif]",
                          "ImageDescription=Evening at the harbour", "Make=Canon"));
  for (const char* expected :
       {"Make=Canon", "Model=Canon PowerShot S95", "Orientation=CounterClockwise 90\xC2\xB0",
        "XResolution=180.00", "ResolutionUnit=Inch", "ExposureTime=1/60 sec", "FNumber=F4.0",
        "ISOSpeedRatings=400", "ExifVersion=0230", "DateTimeOriginal=2011:07:14 21:42:05",
        "ComponentsConfiguration=YCbCr", "Flash=Off, surpressed", "FocalLength=6.00 mm",
        "UserComment=Boats coming home", "ExifImageWidth=3648", "GPSLatitudeRef=N",
        "GPSLatitude=59.329167", "GPSLongitude=18.067500", "GPSAltitude=12",
        "GPSTimeStamp=19:42:5", "InteroperabilityIndex=R98", "Macro_mode=Normal",
        "ImageType=IMG:PowerShot S95 JPEG", "[MetaData]", "<dImageFile>", "   <EXIFdata>",
        "   <Make>", "      Canon", "   <Macro_mode>", "      Normal", "   </EXIFdata>",
        "</dImageFile>"}) {
    EXPECT_THAT(lines, Contains(expected));
  }
  // Every tag is listed once, IFD0 tags included.
  EXPECT_EQ(Count(lines, "Make=Canon"), 1);
  EXPECT_EQ(Count(lines, "   <Make>"), 1);
  EXPECT_THAT(lines, Contains(::testing::StartsWith("FocalLengthin35mmFilm=")));
  // The report item ends with its own line end, then the list's two empty lines follow.
  EXPECT_THAT(std::vector<std::string>(lines.end() - 4, lines.end()),
              ElementsAre("</dImageFile>", "", "", ""));
  EXPECT_THAT(lines, Not(Contains("[Filename]")));
}

TEST_F(Report, TheXmlBlockHoldsTheIptcEntriesWithKeywordsMerged) {
  const auto lines = Show({"-q", "-s", "harbour.jpg"});
  const auto start = std::find(lines.begin(), lines.end(), "   <ITPCdata>");
  ASSERT_NE(start, lines.end());
  EXPECT_THAT(std::vector<std::string>(start, start + 20),
              ElementsAre("   <ITPCdata>", "   <ObjectName>", "      Harbour", "   </ObjectName>",
                          "   <ImageCaption>",
                          "      <![CDATA[Boats coming home to the harbour]]>",
                          "   </ImageCaption>", "   <Keywords>", "      harbour,boats,evening",
                          "   </Keywords>", "   <City>", "      Stockholm", "   </City>",
                          "   <LocationName>", "      Sweden", "   </LocationName>",
                          "   <Copyright>", "      (c) 2011 Anna Lind", "   </Copyright>",
                          "   </ITPCdata>"));
  EXPECT_EQ(*(start + 20), "</dImageFile>");
}

TEST_F(Report, IptcKeyListIsAddedForEveryFile) {
  const auto lines = Show({"-q", "-iptc", "harbour.jpg", "scan.jpg"});
  ASSERT_EQ(lines.size(), 1u + 96u + 2u);
  EXPECT_EQ(lines[1], "  --IPTC:ObjectType=\"Object Type Ref\", max size=67, Tag#3");
  EXPECT_EQ(lines[3], "  --IPTC:ObjectName=\"Object name\", max size=64, Tag#5");
  EXPECT_EQ(lines[48], "  --IPTC:Subfile=\"Subfile\", max size=2, Tag#10");
  EXPECT_EQ(lines[49], lines[1]);
}

TEST_F(Report, NoXmlLeavesTheMetaDataBlockOut) {
  const auto lines = Show({"-q", "-s", "-nx", "harbour.jpg"});
  EXPECT_THAT(lines, Contains("[Exif]"));
  EXPECT_THAT(lines, Not(Contains("[MetaData]")));
  EXPECT_THAT(lines, Not(Contains("<dImageFile>")));
}

TEST_F(Report, SeveralFilesAreSeparated) {
  const auto lines = Show({"-q", "-s", "-nx", "scan.jpg,meadow.jpg"});
  EXPECT_THAT(lines,
              ElementsAre("", "[Filename]", "scan.jpg", "[Size]", "ImageWidth=32",
                          "ImageHeight=32", "[Comment]", "Scanned from a 1987 print", "", "###",
                          "[Filename]", "meadow.jpg", "[Size]", "ImageWidth=48", "ImageHeight=32",
                          "[Exif]", "Make=NIKON CORPORATION", "Model=NIKON D90",
                          "Orientation=Normal", "Software=Ver.1.00",
                          "DateTime=2010:06:05 14:30:00", "ExposureTime=10/5000 sec",
                          "FNumber=F8.0", "ISOSpeedRatings=200", "ExifVersion=0221",
                          "DateTimeOriginal=2010:06:05 14:30:00", "MeteringMode=MultiSegment",
                          "Flash=Off", "FocalLength=35.00 mm", "FamilyID=0210",
                          "ISOSpeed=0, 200", "Quality=FINE", "WhiteBalance=AUTO",
                          "LensInformation=18.0-105.0(mm)  F3.5-F5.6",
                          "ColorMode=Mode 2 (Adobe RGB)", "MakerNote=Nikon",
                          "FocalLengthin35mmFilm=52.00 mm", "ExifOffset=144", "", "", ""));
}

TEST_F(Report, MakerNoteValuesAreAmongTheExifLines) {
  const auto lines = Show({"-q", "-s", "harbour.jpg,meadow.jpg"});
  // The lines of each file's [Exif] section, up to the next section heading.
  std::vector<std::vector<std::string>> sections;
  bool inExif = false;
  for (const std::string& line : lines) {
    if (line.starts_with("[")) {
      inExif = line == "[Exif]";
      if (inExif) sections.emplace_back();
    } else if (inExif) {
      sections.back().push_back(line);
    }
  }
  ASSERT_EQ(sections.size(), 2u);
  EXPECT_THAT(sections[0], IsSupersetOf({"Macro_mode=Normal", "Self_Timer= 0",
                                         "Compression_Rate=SuperFine", "Easy_Shoot=Manual",
                                         "Short_focal= 6000", "White_balance=Auto",
                                         "Distance= 120", "FirmwareVersion=Firmware Version 1.02",
                                         "ImageNumber=1181234"}));
  EXPECT_THAT(sections[0], Contains(StartsWith("ExposureInfo1=92, 2, 0, 5, ")));
  EXPECT_THAT(sections[1], IsSupersetOf({"ISOSpeed=0, 200", "Quality=FINE",
                                         "LensInformation=18.0-105.0(mm)  F3.5-F5.6",
                                         "ColorMode=Mode 2 (Adobe RGB)"}));
}

TEST_F(Report, ACommentOnlyFileHasItsMetaDataBlockWithoutExif) {
  const auto lines = Show({"-q", "-s", "scan.jpg"});
  EXPECT_THAT(std::vector<std::string>(lines.begin(), lines.begin() + 7),
              ElementsAre("", "[Size]", "ImageWidth=32", "ImageHeight=32", "[Comment]",
                          "Scanned from a 1987 print", "[MetaData]"));
  EXPECT_EQ(lines[7], "<dImageFile>");
  EXPECT_EQ(lines[14], "</dImageFile>");
}

TEST_F(Report, FilesWithoutMetadataOrNotJpeg) {
  box_.dir().Write("work/bare.jpg", JpegBuilder(20, 10).Build());
  box_.dir().Write("work/text.jpg", "not a picture");
  const CliResult r = box_.Run({"-q", "-s", "bare.jpg", "text.jpg"});
  EXPECT_THAT(SplitLines(r.out),
              ElementsAre("", "[Filename]", "bare.jpg", "[Size]", "ImageWidth=20",
                          "ImageHeight=10", "", "###", "[Filename]", "text.jpg", "", "", ""));
  EXPECT_THAT(box_.InfoLog(), HasSubstr("file:bare.jpg\r\nfile:text.jpg\r\n"));
}

TEST_F(Report, OrientationListShowsTheConverterRotation) {
  const auto lines = Show({"-q", "-ori", "*.jpg"});
  EXPECT_THAT(lines, ElementsAre("", "harbour.jpg\tCounterClockwise 90\xC2\xB0\t-rotate 90",
                                 "meadow.jpg\tNormal\t", "scan.jpg\t\t", "", ""));
}

TEST_F(Report, TheOutputFileGetsTheReportAndTheConsoleOnlyTheBanner) {
  const CliResult r = box_.Run({"-s", "-nx", "-o=list.txt", "scan.jpg"});
  EXPECT_THAT(SplitLines(r.out), ElementsAre("Pixmeta Photo Tool v0.31, pixmeta",
                                             "by Pixmeta Team, https://pixmeta.example.org"));
  EXPECT_EQ(ReadBytes(box_.work() + "list.txt"),
            "[Size]\r\nImageWidth=32\r\nImageHeight=32\r\n[Comment]\r\n"
            "Scanned from a 1987 print\r\n\r\n\r\n\r\n");
}

TEST_F(Report, AnOutputFileThatCannotBeWrittenEndsWithExitCodeTwo) {
  const CliResult r = box_.Run({"-q", "-s", "-o=missing/list.txt", "scan.jpg"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.out, "#ERROR: missing/list.txt: No such file or directory\n");
  EXPECT_THAT(box_.InfoLog(), HasSubstr("file:scan.jpg"));
}

}  // namespace
}  // namespace pixmeta::test
