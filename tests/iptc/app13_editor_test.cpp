#include "iptc/app13_editor.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "fixtures/iptc_builder.h"
#include "iptc/iptc_table.h"
#include "iptc/photoshop_resources.h"

namespace pixmeta::test {
namespace {

using ::testing::HasSubstr;

const std::string kSignature("Photoshop 3.0\0", 14);
const std::string kVersion2 = DataSet(2, 0, std::string("\0\x02", 2));
const std::string kUtf8 = DataSet(1, 90, "\x1B%G");

App13Edit Edit(const std::vector<std::string>& segments, const std::vector<IptcKeyEdit>& edits) {
  const std::vector<std::string_view> views(segments.begin(), segments.end());
  return EditApp13(views, edits);
}

// The resource stream of payloads, each of which must begin with the signature.
std::string StreamOf(const std::vector<std::string>& payloads) {
  std::string stream;
  for (const std::string& payload : payloads) {
    EXPECT_EQ(payload.substr(0, kSignature.size()), kSignature);
    EXPECT_LE(payload.size(), 65533u);
    stream += payload.substr(kSignature.size());
  }
  return stream;
}

// What an edit may change, and what it must keep, of a resource stream.
struct Block {
  std::vector<std::string> others;  // every resource but the IPTC one and its digest, as stored
  std::vector<uint16_t> ids;        // every resource's id, in order
  std::string iptcName;
  std::optional<std::string> iptc;
  std::optional<std::string> digest;
  std::string rest;
};

Block Read(std::string_view stream) {
  const ResourceStream parsed = ParseResources(stream);
  Block block;
  for (const PhotoshopResource& r : parsed.resources) {
    block.ids.push_back(r.id);
    if (r.type == "8BIM" && r.id == 0x0404 && !block.iptc) {
      block.iptc = std::string(r.data);
      block.iptcName = std::string(r.name);
    } else if (r.type == "8BIM" && r.id == 0x0425) {
      block.digest = std::string(r.data);
    } else {
      block.others.emplace_back(r.bytes);
    }
  }
  block.rest = std::string(parsed.rest);
  return block;
}

std::string Joined(const std::vector<std::string>& sets) {
  std::string joined;
  for (const std::string& set : sets) joined += set;
  return joined;
}

uint8_t RecordOf(const std::string& set) { return static_cast<uint8_t>(set[1]); }
uint8_t NumberOf(const std::string& set) { return static_cast<uint8_t>(set[2]); }

std::vector<std::string> Without(std::vector<std::string> sets, uint8_t record, uint8_t number) {
  std::erase_if(sets, [&](const std::string& s) {
    return RecordOf(s) == record && NumberOf(s) == number;
  });
  return sets;
}

// Each settable key edited alone in an editor's block: the key's data sets are the new
// values, where its first one stood or in number order; everything else is as it was.
class App13EditorKeyTest : public ::testing::TestWithParam<size_t> {};

TEST_P(App13EditorKeyTest, OnlyTheEditedKeysDataSetsChange) {
  const TagRow& row = IptcKeyTable()[GetParam()];
  const auto record = static_cast<uint8_t>(row.record);
  const auto number = static_cast<uint8_t>(row.tag);
  const std::vector<std::string> values =
      IsRepeatable(number) ? std::vector<std::string>{"New York", "Smith, John"}
                           : std::vector<std::string>{"new " + std::string(row.name)};
  const IptcBuilder builder = EditorIptc();
  const std::string original = builder.Payload();
  const App13Edit edit = Edit({original}, {{record, number, values}});
  ASSERT_EQ(edit.error, "");
  ASSERT_EQ(edit.payloads.size(), 1u);
  const Block was = Read(StreamOf({original}));
  const Block now = Read(StreamOf(edit.payloads));
  EXPECT_EQ(now.others, was.others);
  EXPECT_EQ(now.ids, was.ids);
  EXPECT_EQ(now.iptcName, was.iptcName);
  EXPECT_EQ(now.rest, was.rest);
  ASSERT_TRUE(now.iptc.has_value());
  EXPECT_EQ(now.digest, Md5(*now.iptc));

  const std::vector<std::string> before = DataSetsOf(*was.iptc);
  const std::vector<std::string> after = DataSetsOf(*now.iptc);
  EXPECT_EQ(Joined(after), *now.iptc) << "nothing but data sets";
  EXPECT_EQ(Without(after, record, number), Without(before, record, number));
  std::vector<std::string> expected;
  for (const std::string& value : values) expected.push_back(DataSet(record, number, value));
  const auto isKey = [&](const std::string& s) {
    return RecordOf(s) == record && NumberOf(s) == number;
  };
  const auto first = std::ranges::find_if(after, isKey);
  ASSERT_NE(first, after.end());
  EXPECT_EQ(std::vector<std::string>(first, first + static_cast<long>(expected.size())), expected);
  const auto at = static_cast<size_t>(first - after.begin());
  const auto old = std::ranges::find_if(before, isKey);
  if (old != before.end()) {
    EXPECT_EQ(at, static_cast<size_t>(old - before.begin()));
  } else {
    // Between the last data set of its record with a lower number and the next one.
    ASSERT_GT(at, 0u);
    const std::string& previous = after[at - 1];
    EXPECT_TRUE(RecordOf(previous) < record ||
                (RecordOf(previous) == record && NumberOf(previous) < number));
    if (at + expected.size() < after.size()) {
      const std::string& next = after[at + expected.size()];
      EXPECT_TRUE(RecordOf(next) > record ||
                  (RecordOf(next) == record && NumberOf(next) > number));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EverySettableKey, App13EditorKeyTest,
                         ::testing::Range(size_t{1}, IptcKeyTable().size()),
                         [](const auto& info) {
                           return std::string(IptcKeyTable()[info.param].name);
                         });

// Where the edits put data sets into IPTC data made of the given data sets (and raw bytes).
struct PlacementCase {
  const char* what;
  std::vector<std::string> sets;
  std::vector<IptcKeyEdit> edits;
  std::vector<std::string> expected;
  std::string rest = {};
};

void PrintTo(const PlacementCase& c, std::ostream* os) { *os << c.what; }

class App13EditorPlacementTest : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(App13EditorPlacementTest, PutsTheDataSets) {
  const PlacementCase& c = GetParam();
  const std::string original = IptcBuilder().Raw(Joined(c.sets) + c.rest).Payload();
  const App13Edit edit = Edit({original}, c.edits);
  ASSERT_EQ(edit.error, "");
  const Block now = Read(StreamOf(edit.payloads));
  ASSERT_TRUE(now.iptc.has_value());
  EXPECT_EQ(*now.iptc, Joined(c.expected) + c.rest);
}

const std::string kObject = DataSet(2, 5, "Boat");
const std::string kCaption = DataSet(2, 120, "Caption");
const std::string kSubfile = DataSet(8, 10, "S");
const std::string kOslo = DataSet(2, 90, "Oslo");

INSTANTIATE_TEST_SUITE_P(
    Cases, App13EditorPlacementTest,
    ::testing::Values(
        PlacementCase{"new key before the first of its record numbered higher",
                      {kVersion2, kObject, kCaption, kSubfile},
                      {{2, 90, {"Oslo"}}},
                      {kVersion2, kObject, kOslo, kCaption, kSubfile}},
        PlacementCase{"new key after the last of its record",
                      {kVersion2, kObject, DataSet(7, 10, "x"), kSubfile},
                      {{2, 90, {"Oslo"}}},
                      {kVersion2, kObject, kOslo, DataSet(7, 10, "x"), kSubfile}},
        PlacementCase{"record out of order",
                      {kVersion2, kCaption, kObject},
                      {{2, 90, {"Oslo"}}},
                      {kVersion2, kOslo, kCaption, kObject}},
        PlacementCase{"edited key where its first stood, the others gone",
                      {kVersion2, DataSet(2, 25, "a"), kOslo, DataSet(2, 25, "b")},
                      {{2, 25, {"c", "d"}}},
                      {kVersion2, DataSet(2, 25, "c"), DataSet(2, 25, "d"), kOslo}},
        PlacementCase{"removed key",
                      {kVersion2, kObject, kOslo, DataSet(2, 5, "again")},
                      {{2, 5, {}}},
                      {kVersion2, kOslo}},
        PlacementCase{"record 2 begun after the envelope, with its version",
                      {DataSet(1, 0, std::string("\0\x04", 2)), kUtf8},
                      {{2, 5, {"Boat"}}},
                      {DataSet(1, 0, std::string("\0\x04", 2)), kUtf8, kVersion2, kObject}},
        PlacementCase{"record 2 begun before record 8",
                      {kSubfile},
                      {{2, 5, {"Boat"}}},
                      {kVersion2, kObject, kSubfile}},
        PlacementCase{"record 8 key after record 2",
                      {kVersion2, kObject},
                      {{8, 10, {"S"}}},
                      {kVersion2, kObject, kSubfile}},
        PlacementCase{"edits in turn",
                      {kVersion2, kCaption},
                      {{2, 120, {"first"}}, {2, 5, {"Boat"}}, {2, 120, {"Caption"}}},
                      {kVersion2, kObject, kCaption}},
        PlacementCase{"bytes after the data sets stay after them",
                      {kVersion2, kObject},
                      {{2, 90, {"Oslo"}}},
                      {kVersion2, kObject, kOslo},
                      std::string("\0\x1C\x02", 3)},
        PlacementCase{"a length past the end makes the rest",
                      {kVersion2, kObject},
                      {{2, 5, {"Ship"}}},
                      {kVersion2, DataSet(2, 5, "Ship")},
                      std::string("\x1C\x02\x78\x01\0short", 10)}));

TEST(App13Editor, EditsThatChangeNothingGiveTheSegmentsAsTheyWere) {
  const std::string original = EditorIptc().Payload();
  const std::vector<std::vector<IptcKeyEdit>> noChanges = {
      {},
      {{2, 120, {"Navy\xE2\x80\x99s ship"}}},
      {{2, 92, {}}},
  };
  for (const std::vector<IptcKeyEdit>& edits : noChanges) {
    const App13Edit edit = Edit({original}, edits);
    EXPECT_EQ(edit.error, "");
    EXPECT_EQ(edit.payloads, std::vector<std::string>{original});
  }
  EXPECT_TRUE(Edit({}, {}).payloads.empty());
  EXPECT_TRUE(Edit({}, {{2, 5, {}}}).payloads.empty());
}

TEST(App13Editor, AFileWithoutResourcesGetsOneNewBlock) {
  const App13Edit edit = Edit({}, {{2, 120, {"Caption"}}, {2, 25, {"a", "b"}}});
  EXPECT_EQ(edit.payloads,
            std::vector<std::string>{kSignature +
                                     ImageResource(0x0404, kVersion2 + DataSet(2, 25, "a") +
                                                               DataSet(2, 25, "b") + kCaption)});
  const App13Edit utf8 = Edit({}, {{2, 120, {"Caf\xC3\xA9"}}});
  const std::string data = kUtf8 + kVersion2 + DataSet(2, 120, "Caf\xC3\xA9");
  EXPECT_EQ(utf8.payloads, std::vector<std::string>{kSignature + ImageResource(0x0404, data)});
}

TEST(App13Editor, ResourcesWithoutIptcGetItBeforeTheFirstHigherId) {
  IptcBuilder builder;
  builder.EditorResources().NoIptcResource().After("tail");
  const std::string original = builder.Payload();
  const App13Edit edit = Edit({original}, {{2, 5, {"Boat"}}});
  ASSERT_EQ(edit.payloads.size(), 1u);
  const Block was = Read(StreamOf({original}));
  const Block now = Read(StreamOf(edit.payloads));
  EXPECT_EQ(now.others, was.others);
  EXPECT_EQ(now.ids, (std::vector<uint16_t>{0x03ED, 0x0404, 0x040A, 0x040B, 0x07D0, 0x041A,
                                            0x0425, 0x040C, 0x0416, 0x2710}));
  EXPECT_EQ(now.iptc, kVersion2 + kObject);
  EXPECT_EQ(now.iptcName, std::string("\0\0", 2));
  EXPECT_EQ(now.digest, Md5(kVersion2 + kObject));
  EXPECT_EQ(now.rest, "tail");
}

TEST(App13Editor, TheDigestIsBroughtUpToDateAndNeverAdded) {
  const IptcKeyEdit city{2, 90, {"Oslo"}};
  const App13Edit with = Edit({IptcBuilder().Add(2, 5, "Boat").Digest().Payload()}, {city});
  const Block digested = Read(StreamOf(with.payloads));
  ASSERT_TRUE(digested.iptc.has_value());
  EXPECT_EQ(*digested.iptc, kObject + kOslo);
  EXPECT_EQ(digested.digest, Md5(kObject + kOslo));
  EXPECT_EQ(digested.digest->size(), 16u);

  const App13Edit without =
      Edit({IptcBuilder().Resource(0x03ED, "res").Add(2, 5, "Boat").Payload()}, {city});
  const Block plain = Read(StreamOf(without.payloads));
  EXPECT_EQ(plain.digest, std::nullopt);
  EXPECT_EQ(plain.ids, (std::vector<uint16_t>{0x03ED, 0x0404}));
}

// The stream of the editor's block cut into segments at the given points.
std::vector<std::string> Split(const std::string& payload, std::vector<size_t> cuts) {
  const std::string stream = payload.substr(kSignature.size());
  std::vector<std::string> segments;
  size_t from = 0;
  cuts.push_back(stream.size());
  for (const size_t cut : cuts) {
    segments.push_back(kSignature + stream.substr(from, cut - from));
    from = cut;
  }
  return segments;
}

std::vector<size_t> Sizes(const std::vector<std::string>& payloads) {
  std::vector<size_t> sizes;
  for (const std::string& payload : payloads) sizes.push_back(payload.size());
  return sizes;
}

TEST(App13Editor, ResourcesSplitOverSegmentsAreReadAsOneAndSplitTheSameWay) {
  const std::string whole = EditorIptc().Payload();
  const std::vector<IptcKeyEdit> edits = {{2, 90, {"San Diego"}},
                                          {2, 120, {"Navy\xE2\x80\x99s ship at sea"}}};
  const App13Edit single = Edit({whole}, edits);
  ASSERT_EQ(single.payloads.size(), 1u);
  const std::string edited = StreamOf(single.payloads);
  const size_t size = whole.size() - kSignature.size();
  // Cuts inside resource headers, inside the IPTC data and inside the thumbnail.
  for (const std::vector<size_t>& cuts : std::vector<std::vector<size_t>>{
           {5}, {150}, {220}, {size - 300}, {size / 3, size / 2}, {10, 11, size - 2}}) {
    const std::vector<std::string> segments = Split(whole, cuts);
    const App13Edit split = Edit(segments, edits);
    ASSERT_EQ(split.error, "");
    EXPECT_EQ(StreamOf(split.payloads), edited) << cuts[0];
    std::vector<size_t> expected = Sizes(segments);
    ASSERT_GT(edited.size(), size);
    expected.back() += edited.size() - size;
    EXPECT_EQ(Sizes(split.payloads), expected) << cuts[0];
  }
  // A stream that shrinks by more than the last segment holds fills fewer segments.
  const std::vector<std::string> tail = Split(whole, {size - 4});
  const App13Edit shrunk = Edit(tail, {{2, 120, {}}});
  ASSERT_EQ(shrunk.payloads.size(), 1u);
  EXPECT_EQ(StreamOf(shrunk.payloads), StreamOf(Edit({whole}, {{2, 120, {}}}).payloads));
}

TEST(App13Editor, ALastSegmentTooLargeIsSplitAndOthersKeepTheirSize) {
  IptcBuilder big;
  big.Add(2, 120, std::string(60000, 'c'));
  const std::string whole = big.Payload();
  const App13Edit grown = Edit({whole}, {{2, 5, {std::string(9000, 'o')}}});
  ASSERT_EQ(grown.error, "");
  // The new stream: the IPTC resource's 12 header bytes and two data sets, no padding.
  const size_t stream = 12 + 9005 + 60005;
  EXPECT_EQ(Sizes(grown.payloads), (std::vector<size_t>{65533, 14 + stream - 65519}));
  const Block now = Read(StreamOf(grown.payloads));
  EXPECT_EQ(now.iptc,
            DataSet(2, 5, std::string(9000, 'o')) + DataSet(2, 120, std::string(60000, 'c')));

  const std::vector<std::string> two = Split(whole, {1000});
  const App13Edit twoGrown = Edit(two, {{2, 5, {std::string(9000, 'o')}}});
  EXPECT_EQ(Sizes(twoGrown.payloads),
            (std::vector<size_t>{1014, 65533, 14 + stream - 1000 - 65519}));
}

TEST(App13Editor, ValuesTooLongForADataSetAndSegmentsWithoutResourcesAreRefused) {
  const std::string original = EditorIptc().Payload();
  const App13Edit tooLong = Edit({original}, {{2, 120, {std::string(70000, 'c')}}});
  EXPECT_TRUE(tooLong.payloads.empty());
  EXPECT_THAT(tooLong.error, HasSubstr("ImageCaption"));
  EXPECT_THAT(tooLong.error, HasSubstr("70000"));
  // Text that grows past the limit in the declared character set is refused too.
  const App13Edit grows = Edit({original}, {{2, 218, {std::string(40000, '\xE9')}}});
  EXPECT_THAT(grows.error, HasSubstr("Custom_218 value of 80000 bytes"));

  const App13Edit longest = Edit({original}, {{2, 120, {std::string(65535, 'c')}}});
  ASSERT_EQ(longest.error, "");
  EXPECT_EQ(longest.payloads.size(), 2u);
  const std::vector<std::string> sets = DataSetsOf(*Read(StreamOf(longest.payloads)).iptc);
  EXPECT_THAT(sets, ::testing::Contains(DataSet(2, 120, std::string(65535, 'c'))));
  EXPECT_EQ(Without(sets, 2, 120), Without(DataSetsOf(*Read(StreamOf({original})).iptc), 2, 120));

  const App13Edit unsigned_ = Edit({"Adobe_CM" + original.substr(8)}, {{2, 5, {"x"}}});
  EXPECT_TRUE(unsigned_.payloads.empty());
  EXPECT_THAT(unsigned_.error, HasSubstr("Photoshop"));
}

// The IPTC data after an edit of the caption to value, on data made of the given sets.
struct CharsetCase {
  const char* what;
  std::vector<std::string> sets;
  std::string value;
  std::vector<std::string> expected;
};

void PrintTo(const CharsetCase& c, std::ostream* os) { *os << c.what; }

class App13EditorCharsetTest : public ::testing::TestWithParam<CharsetCase> {};

TEST_P(App13EditorCharsetTest, WritesTextInTheDeclaredCharacterSet) {
  const CharsetCase& c = GetParam();
  const App13Edit edit = Edit({IptcBuilder().Raw(Joined(c.sets)).Payload()}, {{2, 120, {c.value}}});
  ASSERT_EQ(edit.error, "");
  EXPECT_EQ(DataSetsOf(*Read(StreamOf(edit.payloads)).iptc), c.expected);
}

const std::string kNavyUtf8 = "Navy\xE2\x80\x99s";  // U+2019, 0x92 in Windows-1252
const std::string kMunich1252 = DataSet(2, 90, "M\xFCnchen");
const std::string kLatin1 = DataSet(1, 90, "\x1B.A");

INSTANTIATE_TEST_SUITE_P(
    Cases, App13EditorCharsetTest,
    ::testing::Values(
        CharsetCase{"declared UTF-8, UTF-8 given",
                    {kUtf8, kVersion2},
                    kNavyUtf8,
                    {kUtf8, kVersion2, DataSet(2, 120, kNavyUtf8)}},
        CharsetCase{"declared UTF-8, Windows-1252 given",
                    {kUtf8, kVersion2},
                    "Navy\x92s",
                    {kUtf8, kVersion2, DataSet(2, 120, kNavyUtf8)}},
        CharsetCase{"undeclared ASCII gets the declaration",
                    {kVersion2, kObject},
                    kNavyUtf8,
                    {kUtf8, kVersion2, kObject, DataSet(2, 120, kNavyUtf8)}},
        CharsetCase{"undeclared ASCII, Windows-1252 given",
                    {kVersion2},
                    "Navy\x92s",
                    {kUtf8, kVersion2, DataSet(2, 120, kNavyUtf8)}},
        CharsetCase{"the declaration goes into the envelope in number order",
                    {DataSet(1, 0, std::string("\0\x04", 2)), DataSet(1, 20, "x"),
                     DataSet(1, 100, "y"), kVersion2},
                    kNavyUtf8,
                    {DataSet(1, 0, std::string("\0\x04", 2)), DataSet(1, 20, "x"), kUtf8,
                     DataSet(1, 100, "y"), kVersion2, DataSet(2, 120, kNavyUtf8)}},
        CharsetCase{"undeclared Latin-1 stays Windows-1252",
                    {kVersion2, kMunich1252},
                    kNavyUtf8,
                    {kVersion2, kMunich1252, DataSet(2, 120, "Navy\x92s")}},
        CharsetCase{"undeclared, a character Windows-1252 has not",
                    {kVersion2, kMunich1252},
                    "\xE6\x97\xA5 Tokyo",
                    {kVersion2, kMunich1252, DataSet(2, 120, "? Tokyo")}},
        CharsetCase{"undeclared, Latin-1 only in the replaced value",
                    {kVersion2, DataSet(2, 120, "Caf\xE9")},
                    kNavyUtf8,
                    {kUtf8, kVersion2, DataSet(2, 120, kNavyUtf8)}},
        CharsetCase{"undeclared, other records do not count",
                    {kVersion2, DataSet(8, 10, "\xFF\xFE")},
                    kNavyUtf8,
                    {kUtf8, kVersion2, DataSet(2, 120, kNavyUtf8), DataSet(8, 10, "\xFF\xFE")}},
        CharsetCase{"undeclared, ASCII given",
                    {kVersion2, kMunich1252},
                    "plain",
                    {kVersion2, kMunich1252, DataSet(2, 120, "plain")}},
        CharsetCase{"declared Latin-1",
                    {kLatin1, kVersion2},
                    kNavyUtf8,
                    {kLatin1, kVersion2, DataSet(2, 120, "Navy\x92s")}}));

}  // namespace
}  // namespace pixmeta::test
