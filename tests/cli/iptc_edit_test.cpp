// End-to-end tests of IPTC edits: what the rewritten APP13 keeps, how keywords stay whole
// over runs, and how an independent reader (exiftool, where it is installed) decodes the
// written text.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "fixtures/cli_runner.h"
#include "fixtures/iptc_builder.h"
#include "fixtures/jpeg_builder.h"
#include "fixtures/jpeg_parts.h"
#include "iptc/app13_editor.h"

namespace pixmeta::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr uint8_t kApp13 = 0xED;

std::string Photo(const IptcBuilder& iptc) {
  return JpegBuilder(48, 32).Add(kApp13, iptc.Payload()).Build();
}

// The payload of the file's one APP13 segment.
std::string App13Payload(const std::string& jpeg) {
  const std::vector<std::string> segments = SegmentsWith(SplitJpeg(jpeg), kApp13);
  EXPECT_EQ(segments.size(), 1u);
  return segments.empty() ? std::string() : segments[0].substr(4);
}

class IptcEditTest : public ::testing::Test {
 protected:
  // Runs pixmeta with args on p.jpg made of bytes; the file's bytes afterwards.
  std::string Edit(const std::string& bytes, std::vector<std::string> args) {
    const std::string path = box_.dir().Write("work/p.jpg", bytes);
    args.push_back("p.jpg");
    last_ = box_.Run(args);
    return ReadBytes(path);
  }
  // The IPTC lines of the -s report of a file.
  std::vector<std::string> IptcReport(const std::string& bytes) {
    box_.dir().Write("work/r.jpg", bytes);
    std::vector<std::string> iptc;
    bool in = false;
    for (const std::string& line : SplitLines(box_.Run({"-s", "-nx", "-q", "r.jpg"}).out)) {
      if (line.starts_with("[")) {
        in = line == "[IPTC]";
      } else if (in && !line.empty()) {
        iptc.push_back(line);
      }
    }
    return iptc;
  }

  CliSandbox box_;
  CliResult last_;
};

TEST_F(IptcEditTest, AnEditPatchesOnlyItsKeyAndKeepsEveryResource) {
  const std::string original = Photo(EditorIptc());
  const std::string edited = Edit(original, {"--IPTC:City=Oslo"});
  ASSERT_EQ(box_.ErrorLog(), "");
  const std::string before = App13Payload(original);
  const std::vector<std::string_view> segments = {before};
  const std::vector<IptcKeyEdit> edits = {{2, 90, {"Oslo"}}};
  const App13Edit expected = EditApp13(segments, edits);
  ASSERT_EQ(expected.payloads.size(), 1u);
  EXPECT_EQ(App13Payload(edited), expected.payloads[0]);
  EXPECT_EQ(SplitJpeg(edited).scan, SplitJpeg(original).scan);

  // Another edit leaves the APP13 segment as it was.
  EXPECT_EQ(App13Payload(Edit(original, {"-c=Hello"})), before);
}

TEST_F(IptcEditTest, AnIptcEditThatStoresNothingAddsNoApp13) {
  const std::string meadow = JpegBuilder(48, 32).Comment("meadow").Build();
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--IPTC:Nonsense=1", "-c=Hi"}, {"-key=-", "-c=Hi"}, {"-t=+", "-c=Hi"}}) {
    const std::string after = Edit(meadow, args);
    EXPECT_TRUE(SegmentsWith(SplitJpeg(after), kApp13).empty()) << args[0];
    EXPECT_THAT(SegmentsWith(SplitJpeg(after), 0xFE),
                ElementsAre(std::string("\xFF\xFE\0\x04Hi", 6)))
        << args[0];
  }
  EXPECT_THAT(box_.ErrorLog(), HasSubstr("#ERROR p.jpg: IPTC Nonsense?"));
  EXPECT_EQ(SegmentsWith(SplitJpeg(Edit(meadow, {"-obj=x"})), kApp13).size(), 1u);
}

TEST_F(IptcEditTest, KeywordsWithBlanksStayWholeThroughLaterEdits) {
  const IptcBuilder stored = IptcBuilder().Keywords({"New York", "new york", "Sea"});
  const std::string commented = Edit(Photo(stored), {"-c=x"});
  EXPECT_THAT(IptcReport(commented),
              ElementsAre("Keywords=New York", "Keywords=new york", "Keywords=Sea"));

  const std::string set = Edit(Photo(IptcBuilder().Add(2, 5, "Boat")), {"-key=New York"});
  EXPECT_THAT(SplitLines(last_.out),
              testing::Contains("p.jpg: IPTC Keywords set to: \"New York\""));
  const std::string again = Edit(set, {"-c=x"});
  EXPECT_THAT(IptcReport(again), ElementsAre("ObjectName=Boat", "Keywords=New York"));

  // Line breaks and commas separate; an item equal to another ignoring case goes.
  const std::string list = Edit(Photo(stored), {"-key=+,\"Smith, John\"\\nsea"});
  EXPECT_THAT(IptcReport(list), ElementsAre("Keywords=New York", "Keywords=Sea",
                                            "Keywords=Smith, John"));
  const std::string plus = Edit(list, {"-key=+,Harbour"});
  EXPECT_THAT(IptcReport(plus), ElementsAre("Keywords=New York", "Keywords=Sea",
                                            "Keywords=Smith, John", "Keywords=Harbour"));
  EXPECT_THAT(IptcReport(Edit(plus, {"-key=-"})), ElementsAre());
}

TEST_F(IptcEditTest, AValueTooLongForADataSetIsRefusedAndNothingIsWritten) {
  // Option values are cut to 80 characters, "+" included: appending makes the long value.
  const std::string original = Photo(IptcBuilder().Add(2, 120, std::string(65500, 'c')));
  const std::string after = Edit(original, {"-t=+" + std::string(79, 'x'), "-c=Hello"});
  EXPECT_EQ(after, original);
  EXPECT_THAT(box_.ErrorLog(), HasSubstr("#ERROR p.jpg: IPTC ImageCaption value of 65579 bytes "
                                         "is longer than 65535"));
}

// exiftool's -a -u -G1 -s lines of the IPTC and Photoshop groups, and the digest it
// computes, as "[Group] Tag" -> value.
std::map<std::string, std::string> ExiftoolTags(const std::string& path) {
  const CliResult r = RunCommand({"exiftool", "-a", "-u", "-G1", "-s", path});
  std::map<std::string, std::string> tags;
  for (const std::string& line : SplitLines(r.out)) {
    const size_t colon = line.find(" : ");
    if (colon == std::string::npos) continue;
    std::string key = line.substr(0, colon);
    const size_t close = key.find(']');
    if (close == std::string::npos) continue;
    const std::string group = key.substr(0, close + 1);
    const size_t tag = key.find_first_not_of(' ', close + 1);
    key = group + " " + key.substr(tag, key.find_last_not_of(' ') + 1 - tag);
    if (group == "[IPTC]" || group == "[Photoshop]" || key == "[File] CurrentIPTCDigest") {
      tags[key] = line.substr(colon + 3);
    }
  }
  return tags;
}

// A caption edit on a file, as exiftool reads it: every tag but the caption and the digest
// as before, the caption as given.
struct ReaderCase {
  const char* what;
  IptcBuilder iptc;
  std::string caption;               // the argument, in the bytes given
  std::map<std::string, std::string> changed;  // tags that change, with their new text
};

void PrintTo(const ReaderCase& c, std::ostream* os) { *os << c.what; }

class IptcReaderTest : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(IptcReaderTest, AnIndependentReaderDecodesTheCaptionAndEverythingElseAsBefore) {
  if (!HaveTool("exiftool")) {
    GTEST_SKIP() << "exiftool is not installed (Debian package libimage-exiftool-perl)";
  }
  const ReaderCase& c = GetParam();
  CliSandbox box;
  const std::string original = box.dir().Write("work/o.jpg", Photo(c.iptc));
  const std::string path = box.dir().Write("work/p.jpg", Photo(c.iptc));
  box.Run({"-t=" + c.caption, "p.jpg"});
  ASSERT_EQ(box.ErrorLog(), "");
  std::map<std::string, std::string> expected = ExiftoolTags(original);
  ASSERT_FALSE(expected.empty());
  for (const auto& [tag, value] : c.changed) expected[tag] = value;
  std::map<std::string, std::string> now = ExiftoolTags(path);
  // A stored digest is the one exiftool computes from the new data.
  if (expected.contains("[Photoshop] IPTCDigest")) {
    EXPECT_NE(now["[Photoshop] IPTCDigest"], expected["[Photoshop] IPTCDigest"]);
    EXPECT_EQ(now["[Photoshop] IPTCDigest"], now["[File] CurrentIPTCDigest"]);
  }
  for (const char* digest : {"[Photoshop] IPTCDigest", "[File] CurrentIPTCDigest"}) {
    expected.erase(digest);
    now.erase(digest);
  }
  EXPECT_EQ(now, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IptcReaderTest,
    ::testing::Values(
        ReaderCase{"an editor's block declaring UTF-8",
                   EditorIptc(),
                   "Navy\xE2\x80\x99s ship at sea",
                   {{"[IPTC] Caption-Abstract", "Navy\xE2\x80\x99s ship at sea"}}},
        ReaderCase{"ASCII without a declaration gets one",
                   IptcBuilder().Add(2, 0, std::string("\0\x02", 2)).Add(2, 5, "Boat"),
                   "Caf\xC3\xA9 \xE2\x82\xAC",
                   {{"[IPTC] Caption-Abstract", "Caf\xC3\xA9 \xE2\x82\xAC"},
                    {"[IPTC] CodedCharacterSet", "UTF8"}}},
        ReaderCase{"Latin-1 without a declaration stays Windows-1252",
                   IptcBuilder().Add(2, 0, std::string("\0\x02", 2)).Add(2, 90, "M\xFCnchen"),
                   "Caf\xC3\xA9",
                   {{"[IPTC] Caption-Abstract", "Caf\xC3\xA9"}}},
        ReaderCase{"a Windows-1252 argument into UTF-8",
                   EditorIptc(),
                   "Navy\x92s",
                   {{"[IPTC] Caption-Abstract", "Navy\xE2\x80\x99s"}}}));

}  // namespace
}  // namespace pixmeta::test
