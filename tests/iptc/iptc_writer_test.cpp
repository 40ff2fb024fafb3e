#include "iptc/iptc_writer.h"

#include <gtest/gtest.h>

#include "fixtures/iptc_builder.h"

namespace pixmeta::test {
namespace {

TEST(IptcDataSetEncoding, LengthsUpToSixteenBitsAreWrittenAndLongerValuesRefused) {
  EXPECT_EQ(EncodeDataSet(2, 5, ""), std::string("\x1C\x02\x05\0\0", 5));
  EXPECT_EQ(EncodeDataSet(8, 10, "ab"), std::string("\x1C\x08\x0A\0\x02" "ab", 7));
  const std::string longest(kMaxDataSetValue, 'v');
  EXPECT_EQ(EncodeDataSet(2, 120, longest), DataSet(2, 120, longest));
  EXPECT_EQ(EncodeDataSet(2, 120, std::string(256, 'v'))->substr(3, 2), std::string("\x01\0", 2));
  EXPECT_FALSE(EncodeDataSet(2, 120, longest + "v").has_value());
}

}  // namespace
}  // namespace pixmeta::test
