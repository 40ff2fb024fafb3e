#include "iptc/iptc_data.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>
#include <vector>

#include "fixtures/lines.h"
#include "fixtures/iptc_builder.h"
#include "iptc/comma_text.h"
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

TEST_F(IptcDataTest, RepeatedKeywordsAreHeldAsReadAndJoinedFromBytes) {
  const std::string segment = Load(IptcBuilder()
                                       .Keywords({"New York", "new york", "Sea"})
                                       .Add(2, 20, "x")
                                       .Keywords({" ", " Dune ", "Smith, John"}));
  // Every keyword data set is one item, blanks and duplicates included; blank ones drop.
  EXPECT_EQ(Held(), (std::vector<std::string>{
                        "Keywords=New York,new york,Sea,Dune,\"Smith, John\"", "SuppCategory=x"}));
  EXPECT_EQ(iptc_.IndexOfName("keywords"), 0);
  EXPECT_EQ(iptc_.ValueOf("City", "none"), "none");
  EXPECT_TRUE(iptc_.KeyEdits().empty());
  EXPECT_EQ(TIPTCdata::SegmentJoinedValue(segment, "Keywords"),
            "New York,new york,Sea,Dune,Smith, John");
  EXPECT_EQ(TIPTCdata::SegmentJoinedValue(segment, "keywords"), "");
  EXPECT_EQ(Lines(PairList(segment)),
            (std::vector<std::string>{"Keywords=New York", "Keywords=new york", "Keywords=Sea",
                                      "SuppCategory=x", "Keywords= ", "Keywords= Dune ",
                                      "Keywords=Smith, John"}));
}

TEST_F(IptcDataTest, HeldValueJoinsTheTrimmedValuesOfAKeyWhateverItsLetterCase) {
  Load(IptcBuilder()
           .Add(2, 5, " first ")
           .Keywords({"a,b", "c"})
           .Add(2, 5, "")
           .Add(2, 5, "second")
           .Add(2, 90, "Oslo"));
  EXPECT_EQ(iptc_.HeldValue("objectname"), "first,second");
  EXPECT_EQ(iptc_.HeldValue("KEYWORDS"), "\"a,b\",c");
  EXPECT_EQ(iptc_.HeldValue("City"), "Oslo");
  EXPECT_EQ(iptc_.HeldValue("State"), "");
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

TEST_F(IptcDataTest, EachChangeOfAKeyIsRecordedOnceAsItsNewDataSets) {
  Load(IptcBuilder().Add(2, 5, "first").Keywords({"a"}).Add(2, 5, "second").Add(8, 10, "S1"));
  using Edits = std::vector<std::tuple<int, int, std::vector<std::string>>>;
  const auto edits = [this] {
    Edits out;
    for (const IptcKeyEdit& e : iptc_.KeyEdits()) out.emplace_back(e.record, e.number, e.values);
    return out;
  };
  EXPECT_EQ(iptc_.StoreValue("objectname", ""), 0);  // an empty value changes nothing
  EXPECT_EQ(iptc_.StoreValue("Nonsense", "x"), -1);
  EXPECT_EQ(edits(), Edits{});

  EXPECT_EQ(iptc_.StoreValue("ObjectName", "one"), 0);
  EXPECT_EQ(Held(), (std::vector<std::string>{"ObjectName=one", "Keywords=a", "Subfile=S1"}));
  EXPECT_EQ(iptc_.StoreValue("subfile", "S2"), 2);
  EXPECT_EQ(iptc_.StoreValue("OBJECTNAME", "two"), 0);
  EXPECT_EQ(iptc_.StoreValue("City", "Oslo"), 3);
  EXPECT_EQ(edits(), (Edits{{2, 5, {"two"}}, {8, 10, {"S2"}}, {2, 90, {"Oslo"}}}));

  EXPECT_EQ(iptc_.RemoveKey("keywords"), 1);
  EXPECT_EQ(iptc_.RemoveKey("keywords"), -1);
  EXPECT_EQ(edits().back(), (std::tuple<int, int, std::vector<std::string>>{2, 25, {}}));
  EXPECT_EQ(Held(), (std::vector<std::string>{"ObjectName=two", "Subfile=S2", "City=Oslo"}));

  Load(IptcBuilder().Add(2, 5, "again"));
  EXPECT_EQ(edits(), Edits{});
}

// Storing value as the Keywords of a file that holds held gives the held comma text and
// the data sets to write.
struct KeywordCase {
  std::vector<std::string_view> held;
  const char* value;
  const char* expected;
  std::vector<std::string> dataSets;
};

void PrintTo(const KeywordCase& c, std::ostream* os) { *os << "value [" << c.value << "]"; }

class IptcKeywordTest : public ::testing::TestWithParam<KeywordCase> {};

TEST_P(IptcKeywordTest, StoresCommaTextAsDistinctItems) {
  const KeywordCase& c = GetParam();
  FakeHost host;
  TIPTCdata iptc(host);
  IptcBuilder file;
  for (const std::string_view keyword : c.held) file.Add(2, 25, keyword);
  iptc.LoadFromSegment(file.SegmentBytes());
  EXPECT_EQ(iptc.StoreValue("keywords", c.value), 0);
  EXPECT_EQ(iptc.ValueOf("Keywords", "absent"), c.expected);
  ASSERT_EQ(iptc.KeyEdits().size(), 1u);
  EXPECT_EQ(iptc.KeyEdits()[0].number, 25);
  EXPECT_EQ(iptc.KeyEdits()[0].values, c.dataSets);
  // The held text reads back as the same items.
  EXPECT_EQ(ParseCommaText(c.expected), c.dataSets);
}

INSTANTIATE_TEST_SUITE_P(
    IptcCommaText, IptcKeywordTest,
    ::testing::Values(
        KeywordCase{{}, "a, b ,c", "a,b,c", {"a", "b", "c"}},
        KeywordCase{{}, "New York,Paris", "New York,Paris", {"New York", "Paris"}},
        KeywordCase{{}, "a\r\nb\nc\rd", "a,b,c,d", {"a", "b", "c", "d"}},  // line breaks split
        KeywordCase{{}, "x\ty", "x\ty", {"x\ty"}},                         // a tab does not
        KeywordCase{{}, "b,B,a,b", "b,a", {"b", "a"}},  // duplicates ignoring case, order kept
        KeywordCase{{"beach"}, "beach,Sea,BEACH", "beach,Sea", {"beach", "Sea"}},
        KeywordCase{{"Sea", "sea"}, "Sea,sea", "Sea", {"Sea"}},
        KeywordCase{{}, "\xE9t\xE9,\xC9T\xC9", "\xE9t\xE9", {"\xE9t\xE9"}},  // Windows-1252
        KeywordCase{{}, "\"Smith, John\",Sea", "\"Smith, John\",Sea", {"Smith, John", "Sea"}},
        KeywordCase{{}, "\"say \"\"hi\"\"\"", "say \"hi\"", {"say \"hi\""}},
        KeywordCase{{}, "\"\"\"q\"\"\",x", "\"\"\"q\"\"\",x", {"\"q\"", "x"}},
        KeywordCase{{}, "\" x \",\"a\nb\"", "x,\"a\nb\"", {"x", "a\nb"}},
        KeywordCase{{}, "\"open", "open", {"open"}},  // a quote never closed
        KeywordCase{{}, ",a,,b,", "a,b", {"a", "b"}},
        KeywordCase{{"old"}, " , ", "", {}}));

TEST(IptcCommaText, AnyItemsReadBackWhole) {
  const std::vector<std::string> items = {"Smith, John", "\"q\"", "a\r\nb", "say \"hi\"",
                                          "New York", "x\ty", "\"", "a\"", ","};
  const std::string text = JoinCommaText(items);
  EXPECT_EQ(text,
            "\"Smith, John\",\"\"\"q\"\"\",\"a\r\nb\",say \"hi\",New York,x\ty,\"\"\"\",a\",\",\"");
  EXPECT_EQ(ParseCommaText(text), items);
  EXPECT_EQ(DistinctItems({"a", "B", "A", "b", "c"}), (std::vector<std::string>{"a", "B", "c"}));
}

}  // namespace
}  // namespace pixmeta
