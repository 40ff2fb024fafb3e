#include "iptc/iptc_table.h"

#include <gtest/gtest.h>

#include <set>

namespace pixmeta {
namespace {

TEST(IptcTable, HoldsTheKeysOfRecordsTwoAndEightInDataSetOrder) {
  const auto table = IptcKeyTable();
  ASSERT_EQ(table.size(), 49u);
  EXPECT_EQ(table[0].name, "SKIP");
  EXPECT_EQ(table[0].desc, "Record Version");
  EXPECT_EQ(table[0].tag, 0);
  EXPECT_EQ(table[48].record, 8);
  EXPECT_EQ(table[48].tag, 10);
  EXPECT_EQ(table[48].name, "Subfile");

  std::set<std::string> names;
  for (size_t row = 0; row + 1 < table.size(); ++row) {
    EXPECT_EQ(table[row].record, 2) << row;
    if (row > 0) {
      EXPECT_LT(table[row - 1].tag, table[row].tag) << table[row].name;
    }
    names.emplace(table[row].name);
  }
  EXPECT_EQ(names.size(), 48u);

  const TagRow& caption = table[static_cast<size_t>(TableRowOf("ImageCaption"))];
  EXPECT_EQ(caption.tag, 120);
  EXPECT_EQ(caption.desc, "Image caption");
  EXPECT_EQ(caption.size, 2000);
}

TEST(IptcTable, TableRowOfIgnoresLetterCaseOnly) {
  EXPECT_EQ(TableRowOf("skip"), 0);
  EXPECT_EQ(TableRowOf("KEYWORDS"), 11);
  EXPECT_EQ(TableRowOf("langid"), 47);
  EXPECT_EQ(TableRowOf("Subfile"), 48);
  EXPECT_EQ(TableRowOf("Custom_218"), -1);
  EXPECT_EQ(TableRowOf("City "), -1);
  EXPECT_EQ(TableRowOf(""), -1);
}

TEST(IptcTable, OnlySupplementalCategoryAndKeywordsRepeat) {
  EXPECT_TRUE(IsRepeatable(20));
  EXPECT_TRUE(IsRepeatable(25));
  for (const uint32_t number : {0u, 15u, 19u, 21u, 24u, 26u, 20u + 256u, 25u + 65536u}) {
    EXPECT_FALSE(IsRepeatable(number)) << number;
  }
}

TEST(IptcTable, KeyListingHasOneLinePerRowButTheRecordVersion) {
  const StringList lines = IptcKeyListing();
  ASSERT_EQ(lines.Count(), 48u);
  EXPECT_EQ(lines[0], "  --IPTC:ObjectType=\"Object Type Ref\", max size=67, Tag#3");
  EXPECT_EQ(lines[2], "  --IPTC:ObjectName=\"Object name\", max size=64, Tag#5");
  EXPECT_EQ(lines[42], "  --IPTC:ImageCaption=\"Image caption\", max size=2000, Tag#120");
  EXPECT_EQ(lines[47], "  --IPTC:Subfile=\"Subfile\", max size=2, Tag#10");
  for (const std::string_view line : lines) EXPECT_EQ(line.find("SKIP"), std::string::npos);
}

}  // namespace
}  // namespace pixmeta
