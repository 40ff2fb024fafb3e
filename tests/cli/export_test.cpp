// End-to-end tests of the exports: the KML document of photo overlays (read back by
// xmllint, where it is installed), the GPS list and the converter command lines.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include "fixtures/cli_runner.h"
#include "fixtures/jpeg_builder.h"
#include "fixtures/sample_photos.h"
#include "fixtures/tiff_builder.h"

namespace pixmeta::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::Not;

// Taken in Buenos Aires (south, west) by a camera whose make and model read the same.
std::string SouthWestPhoto(uint16_t orientation, std::string_view description) {
  TiffBuilder tiff(false);
  const int gps = tiff.AddIfd();
  tiff.Ascii(0, 0x010E, description)
      .Ascii(0, 0x010F, "Acme")
      .Ascii(0, 0x0110, "Acme")
      .Short(0, 0x0112, {orientation})
      .Ascii(0, 0x0132, "2010:06:05 14:30:00")
      .Link(0, 0x8825, gps);
  tiff.Ascii(gps, 0x0001, "S")
      .Rational(gps, 0x0002, {{34, 1}, {36, 1}, {0, 1}})
      .Ascii(gps, 0x0003, "W")
      .Rational(gps, 0x0004, {{58, 1}, {22, 1}, {48, 1}});
  return JpegBuilder().Exif(tiff.Build()).Build();
}

bool HaveXmlLint() { return std::system("xmllint --version >/dev/null 2>&1") == 0; }

// xmllint's output for the shell words given, without the line end it adds to a string
// result; none when it refuses the input.
std::optional<std::string> XmlLint(const std::string& words) {
  const std::string command = "xmllint " + words + " 2>/dev/null";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), &::pclose);
  if (!pipe) return std::nullopt;
  std::string text;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) {
    text.append(buffer, n);
  }
  if (::pclose(pipe.release()) != 0) return std::nullopt;
  if (text.ends_with('\n')) text.pop_back();
  return text;
}

// The text of the n-th element of that name in the KML file.
std::optional<std::string> KmlText(const std::string& kml, const std::string& element, int n) {
  return XmlLint("--xpath 'string((//*[local-name()=\"" + element + "\"])[" +
                 std::to_string(n) + "])' '" + kml + "'");
}

TEST(KmlExport, OneNumberedOverlayPerPhotoWithCoordinatesGoesIntoTheOutputFile) {
  if (!HaveXmlLint()) GTEST_SKIP() << "xmllint is not installed (Debian package libxml2-utils)";
  CliSandbox box;
  box.dir().Write("work/harbour.jpg", HarbourPhoto());
  box.dir().Write("work/meadow.jpg", MeadowPhoto());
  box.dir().Write("work/south.jpg", SouthWestPhoto(8, "Obelisco"));
  const CliResult r =
      box.Run({"-q", "-kml", "-o=map.kml", "harbour.jpg", "meadow.jpg", "south.jpg"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_THAT(r.out, Not(HasSubstr("Overlay")));
  EXPECT_EQ(box.ErrorLog(), "#ERROR meadow.jpg: no coordinates in file\r\n");
  const std::string kml = box.work() + "map.kml";
  ASSERT_TRUE(XmlLint("--noout '" + kml + "'"));

  const std::vector<std::string> lines = SplitLines(ReadBytes(kml));
  ASSERT_EQ(lines.size(), 5u + 2 * 23u + 3u);
  const std::vector<std::string> first(lines.begin() + 5, lines.begin() + 28);
  EXPECT_THAT(first, ElementsAreArray<std::string>({
      "<PhotoOverlay id=\"photo1\">",
      " <name>harbour.jpg</name>",
      " <description><![CDATA[<div style=\"font-family:sans-serif\"><a href=\"#photo1\">"
      "<img src=\"harbour.jpg\" border=0 style=\"width:480px;transform(90deg)\"><br>"
      "2011:07:14 21:42:05, Evening at the harbour, Canon, Canon PowerShot S95</a> PO</div>]]>"
      "</description>",
      " <styleUrl>#photoIcon</styleUrl>", " <Camera>", "  <longitude>18.067500</longitude>",
      "  <latitude>59.329167</latitude>", "  <altitude>10</altitude>", "  <tilt>90</tilt>",
      " </Camera>", " <Icon><href>harbour.jpg</href></Icon>", " <ViewVolume>",
      "  <leftFov>-26.6666666667</leftFov>", "  <rightFov>26.6666666667</rightFov>",
      "  <bottomFov>-20</bottomFov>", "  <topFov>20</topFov>", "  <near>10</near>",
      " </ViewVolume>", " <Point>", "  <altitudeMode>relativeToGround</altitudeMode>",
      "  <coordinates>18.067500,59.329167</coordinates>", " </Point>", "</PhotoOverlay>"}));
  EXPECT_EQ(lines[28], "<PhotoOverlay id=\"photo2\">");
  EXPECT_THAT(lines[30], HasSubstr("style=\"width:480px;transform(-90deg)\"><br>"
                                   "2010:06:05 14:30:00, Obelisco, Acme</a>"));
  EXPECT_EQ(lines[33], "  <longitude>-58.380000</longitude>");
  EXPECT_EQ(lines[34], "  <latitude>-34.600000</latitude>");
  EXPECT_EQ(lines[48], "  <coordinates>-58.380000,-34.600000</coordinates>");
  EXPECT_THAT(std::vector<std::string>(lines.end() - 3, lines.end()),
              ElementsAre("", "</Document></kml>", ""));
}

TEST(KmlExport, MarkupInNamesAndTextsAndAbsoluteAddressesReadBackAsGiven) {
  if (!HaveXmlLint()) GTEST_SKIP() << "xmllint is not installed (Debian package libxml2-utils)";
  CliSandbox box;
  const std::string name = "a&b<\"x\"]]>.jpg";
  const std::string description = "Tom & Jerry <at> \"home\" ]]> end";
  const std::string path = box.dir().Write("work/" + name, SouthWestPhoto(3, description));
  // XML cannot carry most control characters, and a line break would split the overlay.
  const std::string controls = box.dir().Write("work/new\nline\x01.jpg", SouthWestPhoto(1, "c"));
  const CliResult r = box.Run({"-l=9", "-kml", "-o=map.kml", path, controls});
  const std::string title = "2010:06:05 14:30:00, " + description + ", Acme";
  EXPECT_THAT(r.out, HasSubstr("#KML:" + path + "\n#-rotation:transform(180deg)\n#-title:" +
                               title + "\n"));
  const std::string kml = box.work() + "map.kml";
  ASSERT_TRUE(XmlLint("--noout '" + kml + "'")) << ReadBytes(kml);
  EXPECT_EQ(KmlText(kml, "name", 1), name);
  EXPECT_EQ(KmlText(kml, "href", 2), "file://" + path);  // the first is the style's icon
  EXPECT_EQ(KmlText(kml, "name", 2), "new line .jpg");
  EXPECT_EQ(SplitLines(ReadBytes(kml)).size(), 5u + 2 * 23u + 3u);

  // The description is HTML that shows the title and names the same image.
  const std::optional<std::string> html = KmlText(kml, "description", 1);
  ASSERT_TRUE(html);
  const std::string htmlPath = box.dir().Write("description.html", *html);
  EXPECT_EQ(XmlLint("--html --xpath 'string(//a)' '" + htmlPath + "'"), title);
  EXPECT_EQ(XmlLint("--html --xpath 'string(//img/@src)' '" + htmlPath + "'"), "file://" + path);
}

TEST(GpsList, NameLatitudeLongitudeForEveryFile) {
  CliSandbox box;
  box.dir().Write("work/harbour.jpg", HarbourPhoto());
  box.dir().Write("work/meadow.jpg", MeadowPhoto());
  box.dir().Write("work/south.jpg", SouthWestPhoto(1, "Obelisco"));
  EXPECT_EQ(box.Run({"-q", "-gll", "harbour.jpg", "meadow.jpg", "south.jpg"}).out,
            "\nharbour.jpg\t59.329167\t18.067500\nmeadow.jpg\t\t\n"
            "south.jpg\t-34.600000\t-58.380000\n\n\n");
}

TEST(ConverterList, OneCommandPerFileRotatingItUpright) {
  CliSandbox box;
  box.dir().Write("work/2010/IMG_1.jpg", SouthWestPhoto(8, "a"));
  box.dir().Write("work/2010/IMG_2.jpg", SouthWestPhoto(3, "b"));
  box.dir().Write("work/2010/IMG_3.jpg", HarbourPhoto());
  box.dir().Write("work/2010/IMG_4.jpg", SouthWestPhoto(5, "mirrored"));
  box.dir().Write("work/2010/my scan.jpg", ScanPhoto());
  box.dir().Write("work/2010/normal.jpg", MeadowPhoto());
  const std::string c = "convert -size \"2000x2000>\" ./2010/";
  EXPECT_THAT(SplitLines(box.Run({"-q", "-im", "./2010/*.jpg"}).out),
              ElementsAre("", c + "IMG_1.jpg -resize 1200 -rotate -90 -quality 80 IMG_1.jpg",
                          c + "IMG_2.jpg -resize 1200 -rotate 180 -quality 80 IMG_2.jpg",
                          c + "IMG_3.jpg -resize 1200 -rotate 90 -quality 80 IMG_3.jpg",
                          c + "IMG_4.jpg -resize 1200 -quality 80 IMG_4.jpg",
                          c + "my scan.jpg -resize 1200 -quality 80 my scan.jpg",
                          c + "normal.jpg -resize 1200 -quality 80 normal.jpg", "", ""));
}

TEST(Exports, KmlConverterAndGpsLinesFollowEachOtherPerFile) {
  CliSandbox box;
  box.dir().Write("work/harbour.jpg", HarbourPhoto());
  box.Run({"-q", "-gll", "-im", "-kml", "-o=all.txt", "harbour.jpg"});
  const std::vector<std::string> lines = SplitLines(ReadBytes(box.work() + "all.txt"));
  ASSERT_EQ(lines.size(), 5u + 23u + 2u + 3u);
  EXPECT_EQ(lines[27], "</PhotoOverlay>");
  EXPECT_EQ(lines[28],
            "convert -size \"2000x2000>\" harbour.jpg -resize 1200 -rotate 90 -quality 80 "
            "harbour.jpg");
  EXPECT_EQ(lines[29], "harbour.jpg\t59.329167\t18.067500");
}

}  // namespace
}  // namespace pixmeta::test
