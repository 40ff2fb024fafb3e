#include "iptc/iptc_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "exif/exif_fixture.h"
#include "fixtures/iptc_builder.h"
#include "fixtures/lines.h"

namespace pixmeta::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// A JPEG whose APP13 segment holds the payload, loaded as the per-file loop loads it: the
// container reads the file, then the IPTC object reads the segment's data sets.
std::unique_ptr<LoadedFile> LoadIptc(std::string_view payload) {
  auto f = std::make_unique<LoadedFile>("a.jpg", JpegBuilder().Add(0xED, payload).Build());
  TimgData& c = f->container();
  if (c.HasIptc()) c.Iptc()->LoadFromSegment(c.IptcSegment());
  return f;
}
std::unique_ptr<LoadedFile> LoadIptc(const IptcBuilder& builder) {
  return LoadIptc(builder.Payload());
}

std::string Payload(const TIPTCdata& iptc) {
  const IptcPayload built = BuildPayload(iptc);
  EXPECT_TRUE(built.bytes.has_value()) << built.error;
  return built.bytes.value_or("");
}

// The data sets of a payload as a file holding it shows them: name=value in file order.
std::vector<std::string> Written(const TIPTCdata& iptc) {
  StringList pairs;
  LoadIptc(Payload(iptc))->container().Iptc()->FilePairList(pairs);
  return Lines(pairs);
}

std::vector<std::string> Held(const TIPTCdata& iptc) {
  std::vector<std::string> held;
  for (int32_t i = 0; i < iptc.Count(); ++i) {
    held.push_back(std::string(iptc.EntryAt(i).name()) + "=" + iptc.EntryAt(i).text);
  }
  return held;
}

TEST(IptcPayload, AnEmptyListGivesTheBareFortySixBytes) {
  LoadedFile f("a.jpg", JpegBuilder().Comment("no IPTC yet").Build());
  ASSERT_TRUE(f.container().CreateEmptyIptc());
  const std::string payload = Payload(*f.container().Iptc());
  EXPECT_EQ(payload, std::string("Photoshop 3.0\0"
                                 "8BIM\x04\x04\0\0\0\0\0\x08"
                                 "\x1C\x02\0\0\x02\0\x02\0"
                                 "8BIM\x04\x0B\0\0\0\0\0\0",
                                 46));
  EXPECT_TRUE(LoadIptc(payload)->container().HasIptc());
}

TEST(IptcPayload, EntriesAreWrittenInOrderBehindTheVersionAndReadBackTheSame) {
  auto f = LoadIptc(IptcBuilder()
                        .Resource(0x0409, "a thumbnail resource")
                        .Add(2, 0, std::string("\0\x04", 2))
                        .Add(2, 5, "Harbour")
                        .Keywords({"sea", "boats"})
                        .Add(2, 218, "custom!")
                        .Add(8, 10, "\x01"));
  const TIPTCdata& iptc = *f->container().Iptc();
  const std::string body = DataSet(2, 5, "Harbour") + DataSet(2, 25, "sea") +
                           DataSet(2, 25, "boats") + DataSet(2, 218, "custom!") +
                           DataSet(8, 10, "\x01") + '\0';  // padded to odd length
  EXPECT_EQ(Payload(iptc),
            std::string("Photoshop 3.0\0", 14) +
                ImageResource(0x0404, DataSet(2, 0, std::string("\0\x02", 2)) + body) +
                ImageResource(0x040B, ""));
  auto saved = LoadIptc(Payload(iptc));
  EXPECT_EQ(Held(*saved->container().Iptc()), Held(iptc));
}

TEST(IptcPayload, RepeatableKeysOfRecordTwoGiveADataSetPerItemSplitAtCommasOnly) {
  auto f = LoadIptc(IptcBuilder());
  TIPTCdata& iptc = *f->container().Iptc();
  iptc.StoreValue("Keywords", "a, b ,c");
  iptc.StoreValue("Category", "x,y");
  iptc.StoreValue("SuppCategory", "\"s 1\",,s2,");
  EXPECT_THAT(Written(iptc),
              ElementsAre("Keywords=a", "Keywords=b", "Keywords=c", "Category=x,y",
                          "SuppCategory=\"s 1\"", "SuppCategory=", "SuppCategory=s2"));
  // Without a comma the list is the item as it stands; blanks alone are no item.
  EXPECT_EQ(EncodeRepeated(2, 25, " x "), DataSet(2, 25, " x "));
  EXPECT_EQ(EncodeRepeated(2, 25, " , "), DataSet(2, 25, ""));
  EXPECT_EQ(EncodeRepeated(2, 25, "  "), "");
}

TEST(IptcPayload, StoreByKindMergesRepeatableKeysAndStoresTheRest) {
  auto f = LoadIptc(IptcBuilder().Keywords({"beach"}).Add(2, 15, "old").Add(2, 5, "Harbour"));
  TIPTCdata& iptc = *f->container().Iptc();
  EXPECT_EQ(StoreByKind(iptc, "keywords", "Sea,Beach"), 0);
  EXPECT_EQ(StoreByKind(iptc, "Category", "x,y"), 1);
  EXPECT_EQ(StoreByKind(iptc, "objectname", ""), 2);  // an empty value keeps a held key
  EXPECT_EQ(StoreByKind(iptc, "City", ""), 3);        // and adds a new one empty
  EXPECT_EQ(StoreByKind(iptc, "NoSuchKey", "v"), -1);
  EXPECT_THAT(Held(iptc),
              ElementsAre("Keywords=beach,Sea", "Category=x,y", "ObjectName=Harbour", "City="));
  EXPECT_THAT(Payload(iptc), HasSubstr(std::string("\x1C\x02\x5A\0\0", 5)));
  EXPECT_THAT(Written(iptc), ElementsAre("Keywords=beach", "Keywords=Sea", "Category=x,y",
                                         "ObjectName=Harbour", "City="));
}

TEST(IptcPayload, ARemovedKeyLeavesNoDataSet) {
  // The file holds the object name twice; removing the key removes every entry of it.
  auto f = LoadIptc(
      IptcBuilder().Add(2, 5, "first").Keywords({"a", "b"}).Add(2, 5, "second").Add(2, 90, "Oslo"));
  TIPTCdata& iptc = *f->container().Iptc();
  for (const std::string_view key : {"ObjectName", "keywords"}) {
    while (iptc.IndexOfName(key) >= 0) iptc.DeleteByName(key);
  }
  EXPECT_THAT(Written(iptc), ElementsAre("City=Oslo"));
}

TEST(IptcPayload, ValuesTooLongForTheirLengthOrTheSegmentAreRefused) {
  const std::string longest(kMaxDataSetValue, 'v');
  ASSERT_TRUE(EncodeDataSet(2, 120, longest).has_value());
  EXPECT_EQ(*EncodeDataSet(2, 120, longest), DataSet(2, 120, longest));
  EXPECT_FALSE(EncodeDataSet(2, 120, longest + "v").has_value());
  EXPECT_FALSE(EncodeRepeated(2, 25, "a," + longest + "v,b").has_value());

  auto f = LoadIptc(IptcBuilder().Add(2, 5, "Harbour"));
  TIPTCdata& iptc = *f->container().Iptc();
  const auto refusal = [&iptc](std::string_view key, size_t size) {
    iptc.Reset();
    StoreByKind(iptc, key, "a," + std::string(size, 'v'));
    const IptcPayload built = BuildPayload(iptc);
    EXPECT_FALSE(built.bytes.has_value()) << key << size;
    return built.error;
  };
  EXPECT_THAT(refusal("ImageCaption", kMaxDataSetValue), HasSubstr("ImageCaption"));
  EXPECT_THAT(refusal("Keywords", kMaxDataSetValue + 1), HasSubstr("Keywords"));
  // 38 framing bytes, the version data set and a data set's 5 header bytes leave room for
  // 65482 value bytes: a 65535-byte value has a data set but no segment holds it.
  EXPECT_THAT(refusal("Keywords", kMaxDataSetValue), HasSubstr("65533"));
  EXPECT_THAT(refusal("ImageCaption", 65483 - 2), HasSubstr("65533"));

  TimgData& c = f->container();
  iptc.Reset();
  const std::string caption(65482, 'c');
  iptc.StoreValue("ImageCaption", caption);
  const std::string payload = Payload(iptc);
  EXPECT_EQ(payload.size(), kMaxSegmentPayload - 1);
  EXPECT_TRUE(c.SetIptcBytes(payload));
  EXPECT_EQ(LoadIptc(payload)->container().Iptc()->ValueOf("ImageCaption", ""), caption);
}

}  // namespace
}  // namespace pixmeta::test
