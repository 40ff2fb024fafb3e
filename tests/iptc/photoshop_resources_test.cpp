#include "iptc/photoshop_resources.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fixtures/iptc_builder.h"

namespace pixmeta::test {
namespace {

struct Seen {
  std::string type;
  uint16_t id;
  std::string name;
  std::string data;
  bool operator==(const Seen&) const = default;
};

void PrintTo(const Seen& s, std::ostream* os) {
  *os << s.type << " " << s.id << " [" << ::testing::PrintToString(s.name) << "] "
      << ::testing::PrintToString(s.data);
}

std::vector<Seen> Resources(const ResourceStream& parsed) {
  std::vector<Seen> seen;
  for (const PhotoshopResource& r : parsed.resources) {
    seen.push_back({std::string(r.type), r.id, std::string(r.name), std::string(r.data)});
  }
  return seen;
}

TEST(PhotoshopResources, EachResourceIsReadWithItsNameDataAndPadding) {
  const std::string stream = ImageResource(0x03ED, std::string(16, '\x01')) +
                             ImageResource(0x07D0, "odd", "Path 1") +
                             ImageResource(0x07D1, "even", "P2") +
                             ImageResource(0x0416, std::string("\0\x03", 2), {}, "MeSa") +
                             ImageResource(0x0001, "", {}, "PHUT") +
                             ImageResource(0x0002, "x", {}, "AgHg") +
                             ImageResource(0x0003, "y", {}, "DCSR");
  const ResourceStream parsed = ParseResources(stream);
  EXPECT_EQ(Resources(parsed),
            (std::vector<Seen>{{"8BIM", 0x03ED, std::string("\0\0", 2), std::string(16, '\x01')},
                               {"8BIM", 0x07D0, std::string("\x06Path 1\0", 8), "odd"},
                               {"8BIM", 0x07D1, std::string("\x02P2\0", 4), "even"},
                               {"MeSa", 0x0416, std::string("\0\0", 2), std::string("\0\x03", 2)},
                               {"PHUT", 0x0001, std::string("\0\0", 2), ""},
                               {"AgHg", 0x0002, std::string("\0\0", 2), "x"},
                               {"DCSR", 0x0003, std::string("\0\0", 2), "y"}}));
  EXPECT_TRUE(parsed.rest.empty());
  // The resources' bytes are the stream, piece by piece.
  std::string joined;
  for (const PhotoshopResource& r : parsed.resources) joined += r.bytes;
  EXPECT_EQ(joined, stream);
  EXPECT_EQ(ResourceBytes("8BIM", 0x07D0, std::string("\x06Path 1\0", 8), "odd"),
            ImageResource(0x07D0, "odd", "Path 1"));
}

// Bytes after the first whole resource that are no further whole resource are the rest.
TEST(PhotoshopResources, TheWalkStopsAtTheFirstBytesThatAreNoResource) {
  const std::string first = ImageResource(0x03ED, "abcd");
  const std::string next = ImageResource(0x0404, "iptc");
  struct Case {
    const char* what;
    std::string after;
  };
  const Case cases[] = {
      {"an unknown type", "8BIX" + next.substr(4)},
      {"a size past the end", next.substr(0, next.size() - 1)},
      {"a name past the end", std::string("8BIM\x04\x04\x09" "abc", 10)},
      {"a header cut short", next.substr(0, 11)},
      {"zero padding", std::string(3, '\0')},
  };
  for (const Case& c : cases) {
    const std::string stream = first + c.after;
    const ResourceStream parsed = ParseResources(stream);
    ASSERT_EQ(parsed.resources.size(), 1u) << c.what;
    EXPECT_EQ(parsed.resources[0].bytes, first) << c.what;
    EXPECT_EQ(parsed.rest, c.after) << c.what;
  }
  // A last resource whose odd data ends the stream lacks its padding byte.
  const std::string unpadded = first + next.substr(0, next.size() - 4) + "odd";
  std::string sized = unpadded;
  sized[first.size() + 11] = 3;
  const ResourceStream parsed = ParseResources(sized);
  ASSERT_EQ(parsed.resources.size(), 2u);
  EXPECT_EQ(parsed.resources[1].data, "odd");
  EXPECT_TRUE(parsed.rest.empty());
}

}  // namespace
}  // namespace pixmeta::test
