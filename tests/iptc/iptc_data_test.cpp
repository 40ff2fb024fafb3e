#include "iptc/iptc_data.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "fixtures/lines.h"
#include "fixtures/iptc_builder.h"
#include "iptc/iptc_table.h"

namespace pixmeta {
namespace {

using test::IptcBuilder;
using test::Lines;

class FakeHost : public IptcHost {
 public:
  std::string_view IptcSegment() const override { return segment; }
  std::string ReadIptcSegment(const std::string& path) override {
    reads.push_back(path);
    const auto found = files.find(path);
    return found == files.end() ? std::string() : found->second;
  }
  bool SetIptcBytes(std::string_view payload) override {
    const size_t n = payload.size() + 2;
    segment = std::string{static_cast<char>(n >> 8), static_cast<char>(n & 0xFF)};
    segment += payload;
    return true;
  }

  std::string segment;
  std::map<std::string, std::string> files;
  std::vector<std::string> reads;
};


// An entry with the row of a record 2 data set: the key table's, else a custom one.
TTagEntry Entry(uint8_t number, std::string text = {}) {
  TTagEntry entry;
  entry.row = &CustomRow(2, number);
  for (const TagRow& row : IptcKeyTable()) {
    if (row.record == 2 && row.tag == number) entry.row = &row;
  }
  entry.text = std::move(text);
  return entry;
}

StringList PairList(std::string_view data) {
  StringList list;
  TIPTCdata::SegmentPairList(data, list);
  return list;
}
StringList Xml(const TIPTCdata& iptc) {
  StringList list;
  iptc.XmlLines(list);
  return list;
}
StringList FilePairs(const TIPTCdata& iptc) {
  StringList list;
  iptc.FilePairList(list);
  return list;
}

class IptcDataTest : public ::testing::Test {
 protected:
  // Loads the segment of builder into iptc_, as the container hands it over.
  std::string Load(const IptcBuilder& builder) {
    std::string segment = builder.SegmentBytes();
    iptc_.LoadFromSegment(segment);
    return segment;
  }
  std::vector<std::string> Held() const {
    std::vector<std::string> held;
    for (int32_t i = 0; i < iptc_.Count(); ++i) {
      held.push_back(std::string(iptc_.EntryAt(i).name()) + "=" + iptc_.EntryAt(i).text);
    }
    return held;
  }

  FakeHost host_;
  TIPTCdata iptc_{host_};
};

TEST_F(IptcDataTest, WithoutADataSetMarkerNothingIsRead) {
  // A record-2 marker inside another resource before the signature does not count.
  const std::string early = test::DataSet(2, 5, "early");
  const std::string data =
      early + Load(IptcBuilder().Resource(0x040B, "\x1C\x03\x1C\x01")).substr(2);
  iptc_.Append(Entry(5));
  iptc_.LoadFromSegment(data);
  EXPECT_FALSE(iptc_.HasEntries());
  EXPECT_TRUE(PairList(data).Empty());
  EXPECT_EQ(TIPTCdata::SegmentJoinedValue(data, "ObjectName"), "");
}

TEST_F(IptcDataTest, ReadsKnownCustomAndSkippedDataSets) {
  const std::string segment = Load(IptcBuilder()
                                       .Resource(0x0409, "thumbnail")
                                       .Add(2, 0, std::string("\0\x02", 2))
                                       .Add(2, 5, "Boat ")
                                       .Add(1, 90, "envelope")
                                       .Add(2, 218, "custom")
                                       .Add(3, 5, "other record")
                                       .Add(8, 20, "dropped")
                                       .Add(8, 25, "dropped too")
                                       .Add(8, 0, "number zero")
                                       .Add(8, 10, "S1")
                                       .Add(2, 120, std::string("a\0b", 3)));
  ASSERT_EQ(Held(), (std::vector<std::string>{"ObjectName=Boat ", "Custom_218=custom",
                                              "Subfile=S1", std::string("ImageCaption=a\0b", 16)}));
  const TTagEntry& custom = iptc_.EntryAt(1);
  EXPECT_EQ(custom.desc(), "Custom_218");
  EXPECT_EQ(custom.record(), 2);
  EXPECT_EQ(custom.tag(), 218);
  EXPECT_EQ(custom.size, 64);
  EXPECT_EQ(iptc_.EntryAt(0).size, 64);
  EXPECT_EQ(iptc_.EntryAt(0).desc(), "Object name");

  // The byte listing names every data set of records 2 and 8 but the record version.
  EXPECT_EQ(Lines(PairList(segment)),
            (std::vector<std::string>{"ObjectName=Boat ", "Custom_218=custom",
                                      "Custom_20=dropped", "Custom_25=dropped too",
                                      "Custom_0=number zero", "Subfile=S1",
                                      std::string("ImageCaption=a\0b", 16)}));
  EXPECT_EQ(TIPTCdata::SegmentJoinedValue(segment, "ObjectName"), "Boat");
  EXPECT_EQ(TIPTCdata::SegmentJoinedValue(segment, "SKIP"), "");
}

TEST_F(IptcDataTest, RepeatedKeywordsAreMergedWhenHeldAndJoinedAsReadFromBytes) {
  const std::string segment =
      Load(IptcBuilder().Keywords({"Sea", "sea beach"}).Add(2, 20, "x").Keywords({" ", "Dune"}));
  EXPECT_EQ(Held(), (std::vector<std::string>{"Keywords=Sea,beach,Dune", "SuppCategory=x"}));
  EXPECT_EQ(iptc_.IndexOfName("keywords"), 0);
  EXPECT_EQ(iptc_.ValueOf("KEYWORDS", "none"), "Sea,beach,Dune");
  EXPECT_EQ(iptc_.ValueOf("City", "none"), "none");
  EXPECT_EQ(TIPTCdata::SegmentJoinedValue(segment, "Keywords"), "Sea,sea beach,Dune");
  EXPECT_EQ(TIPTCdata::SegmentJoinedValue(segment, "keywords"), "");
  EXPECT_EQ(Lines(PairList(segment)),
            (std::vector<std::string>{"Keywords=Sea", "Keywords=sea beach", "SuppCategory=x",
                                      "Keywords= ", "Keywords=Dune"}));
}

TEST_F(IptcDataTest, WhereTheSearchForTheFirstDataSetStarts) {
  const std::string objectName = test::DataSet(2, 5, "found");
  // Without the signature the search starts at the 13th byte.
  EXPECT_TRUE(PairList(std::string(12, 'x') + objectName).Count() == 1);
  EXPECT_TRUE(PairList(std::string(11, 'x') + objectName).Empty());
  // With it, right after its 13 characters, and any byte between is passed over.
  EXPECT_EQ(Lines(PairList("Photoshop 3.0" + objectName)),
            std::vector<std::string>{"ObjectName=found"});
  EXPECT_EQ(Lines(PairList("Photoshop 3.0\x1C\x1C" + objectName)),
            std::vector<std::string>{"ObjectName=found"});
  // Without the signature, the scan still finds data sets further on.
  Load(IptcBuilder().NoSignature().Add(2, 90, "Paris"));
  EXPECT_EQ(Held(), std::vector<std::string>{"City=Paris"});
}

TEST_F(IptcDataTest, StepsByLengthWithoutCheckingTheNextMarker) {
  const std::string data = "Photoshop 3.0" + test::DataSet(2, 5, "a") + "X\x02\x5A" +
                           std::string("\0\x02", 2) + "Pa" + std::string("?\x02\x05\0\0", 5);
  iptc_.LoadFromSegment(data);
  EXPECT_EQ(Held(), (std::vector<std::string>{"ObjectName=a", "City=Pa", "ObjectName="}));
  // Three bytes of a header at the end are not read.
  iptc_.LoadFromSegment(data.substr(0, data.size() - 1));
  EXPECT_EQ(Held(), (std::vector<std::string>{"ObjectName=a", "City=Pa"}));
}

TEST_F(IptcDataTest, LengthsAreSixteenBitsAndClampedAtTheEnd) {
  const std::string big(32772, 'v');
  Load(IptcBuilder().WithLength(2, 120, 0x8004, big).Add(2, 5, "after"));
  ASSERT_EQ(iptc_.Count(), 2);
  EXPECT_EQ(iptc_.EntryAt(0).text, big);
  EXPECT_EQ(iptc_.EntryAt(1).text, "after");

  // A length running past the end gives what is there and ends the walk.
  const std::string segment =
      Load(IptcBuilder().Add(2, 90, "Rome").WithLength(2, 5, 0x8004, "short").CutShort(1));
  EXPECT_EQ(Held(), (std::vector<std::string>{"City=Rome", "ObjectName=short"}));
  EXPECT_EQ(TIPTCdata::SegmentJoinedValue(segment, "ObjectName"), "short");
}

TEST_F(IptcDataTest, EveryTruncationReadsSafely) {
  const std::string segment = IptcBuilder()
                                  .Add(2, 0, std::string("\0\x02", 2))
                                  .Keywords({"a", "b c"})
                                  .Add(2, 218, "z")
                                  .WithLength(2, 5, 0xFFFF, "long")
                                  .SegmentBytes();
  for (size_t n = 0; n <= segment.size(); ++n) {
    const std::string_view cut = std::string_view(segment).substr(0, n);
    iptc_.LoadFromSegment(cut);
    EXPECT_LE(iptc_.Count(), 3);
    EXPECT_LE(PairList(cut).Count(), 4u);
    EXPECT_LE(TIPTCdata::SegmentJoinedValue(cut, "Keywords").size(), 5u);
  }
}

TEST_F(IptcDataTest, XmlLinesWrapCaptionAndHeadlineInCdata) {
  Load(IptcBuilder().Add(2, 5, "<b>").Add(2, 105, "Head").Add(2, 120, "Cap & more"));
  EXPECT_EQ(Lines(Xml(iptc_)),
            (std::vector<std::string>{"   <ITPCdata>", "   <ObjectName>", "      <b>",
                                      "   </ObjectName>", "   <ImageHeadline>",
                                      "      <![CDATA[Head]]>", "   </ImageHeadline>",
                                      "   <ImageCaption>", "      <![CDATA[Cap & more]]>",
                                      "   </ImageCaption>", "   </ITPCdata>"}));
  iptc_.Reset();
  EXPECT_EQ(Lines(Xml(iptc_)), (std::vector<std::string>{"   <ITPCdata>", "   </ITPCdata>"}));
}

TEST_F(IptcDataTest, FileOperationsReadTheContainersSegmentNotTheHeldList) {
  host_.segment = IptcBuilder().Add(2, 90, "Oslo").Keywords({"fjord", "snow"}).SegmentBytes();
  EXPECT_EQ(iptc_.FileJoinedValue("Keywords"), "fjord,snow");
  iptc_.StoreValue("City", "Bergen");
  EXPECT_EQ(Lines(FilePairs(iptc_)),
            (std::vector<std::string>{"City=Oslo", "Keywords=fjord", "Keywords=snow"}));
  EXPECT_EQ(iptc_.FileJoinedValue("City"), "Oslo");
}

TEST_F(IptcDataTest, LoadFromJpegReadsAnotherFileThroughTheHost) {
  host_.segment = IptcBuilder().Add(2, 90, "Oslo").SegmentBytes();
  host_.files["b.jpg"] = IptcBuilder().Add(2, 116, "(c) me").SegmentBytes();
  host_.files["marker-less.jpg"] = IptcBuilder().Resource(0x0409, "thumb").SegmentBytes();
  iptc_.LoadFromSegment(host_.segment);

  EXPECT_TRUE(iptc_.LoadFromJpeg("b.jpg"));
  EXPECT_EQ(Held(), std::vector<std::string>{"Copyright=(c) me"});
  EXPECT_EQ(iptc_.FileJoinedValue("City"), "Oslo");

  EXPECT_FALSE(iptc_.LoadFromJpeg("marker-less.jpg"));
  EXPECT_FALSE(iptc_.HasEntries());
  iptc_.StoreValue("City", "x");
  EXPECT_FALSE(iptc_.LoadFromJpeg("missing.jpg"));
  EXPECT_FALSE(iptc_.HasEntries());
  EXPECT_EQ(host_.reads, (std::vector<std::string>{"b.jpg", "marker-less.jpg", "missing.jpg"}));
}

TEST_F(IptcDataTest, AppendDeleteAndStoreValue) {
  EXPECT_EQ(iptc_.Append(Entry(0)), -1);
  EXPECT_EQ(iptc_.StoreValue("SKIP", "x"), -1);
  EXPECT_EQ(iptc_.StoreValue("Custom_218", "x"), -1);
  EXPECT_EQ(iptc_.StoreValue("objectname", ""), 0);
  EXPECT_EQ(iptc_.StoreValue("ObjectName", ""), 0);
  EXPECT_EQ(iptc_.StoreValue("City", "Lyon"), 1);
  EXPECT_EQ(iptc_.StoreValue("CITY", "Nice"), 1);
  EXPECT_EQ(iptc_.StoreValue("SKIP", "x"), 1);
  EXPECT_EQ(iptc_.Append(Entry(218, "c")), 2);
  EXPECT_EQ(iptc_.StoreValue("custom_218", "d"), 2);
  ASSERT_EQ(Held(), (std::vector<std::string>{"ObjectName=", "City=Nice", "Custom_218=d"}));
  EXPECT_EQ(iptc_.EntryAt(1).tag(), 90);

  iptc_.DeleteByName("OBJECTNAME");
  iptc_.DeleteByName("State");
  EXPECT_EQ(Held(), (std::vector<std::string>{"City=Nice", "Custom_218=d"}));
}

// Merging into the Keywords value held from "held" gives the expected text.
struct MergeCase {
  const char* held;
  const char* added;
  const char* expected;
};

void PrintTo(const MergeCase& c, std::ostream* os) {
  *os << "held [" << c.held << "] added [" << c.added << "]";
}

class IptcMergeTest : public ::testing::TestWithParam<MergeCase> {};

TEST_P(IptcMergeTest, MergesCommaText) {
  FakeHost host;
  TIPTCdata iptc(host);
  const MergeCase& c = GetParam();
  if (*c.held != '\0') {
    ASSERT_EQ(iptc.StoreValue("Keywords", c.held), 0);
  }
  EXPECT_EQ(iptc.MergeValues("keywords", c.added), 0);
  EXPECT_EQ(iptc.ValueOf("Keywords", "absent"), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    IptcCommaText, IptcMergeTest,
    ::testing::Values(MergeCase{"", "a, b ,c", "a,b,c"},           // spaces around commas
                      MergeCase{"", "sea beach", "sea,beach"},     // a space splits
                      MergeCase{"", "a\r\nb\tc", "a,b,c"},         // so do control characters
                      MergeCase{"", "b,B,a,b", "b,a"},             // duplicates, order kept
                      MergeCase{"beach", "Sea,Beach", "beach,Sea"},  // case ignored
                      MergeCase{"\xE9t\xE9", "\xC9T\xC9", "\xE9t\xE9"},  // Windows-1252 letters
                      MergeCase{"", "\"New York\",Paris", "\"New York\",Paris"},
                      MergeCase{"", "\"say \"\"hi\"\"\"", "\"say \"\"hi\"\"\""},
                      MergeCase{"", "\" x \",\"a,b\"", "x,\"a,b\""},  // trimmed, comma kept
                      MergeCase{"", "\"open", "open"},               // quote never closed
                      MergeCase{"", ",a,,b,", ",a,b"},               // one empty item kept
                      MergeCase{"x", "y, ", "x,y,"},                 // a last empty item too
                      MergeCase{"", "", ""},
                      MergeCase{"old", "", "old"},
                      MergeCase{"\"New York\"", "\"new york\",NY", "\"New York\",NY"},
                      // One plain item into a plain list, as keywords are read one by one.
                      MergeCase{"one,two", "three", "one,two,three"},
                      MergeCase{"Sea", "sea", "Sea"},
                      MergeCase{"a,,b", "B", "a,,b"},
                      MergeCase{",", "x", ",,x"},
                      MergeCase{"x,", "y", "x,,y"},
                      MergeCase{"a b", "c", "a,b,c"}));

TEST(IptcMerge, UnknownKeysAreRefusedAndOtherKeysMergeToo) {
  FakeHost host;
  TIPTCdata iptc(host);
  EXPECT_EQ(iptc.MergeValues("Custom_25", "a"), -1);
  ASSERT_EQ(iptc.MergeValues("Category", "x y"), 0);
  EXPECT_EQ(iptc.ValueOf("Category", ""), "x,y");
  EXPECT_EQ(iptc.EntryAt(0).tag(), 15);
}

}  // namespace
}  // namespace pixmeta
