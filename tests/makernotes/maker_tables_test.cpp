#include "makernotes/maker_tables.h"

#include <gtest/gtest.h>

#include "exif/tag_dictionary.h"
#include "platform/code_page.h"

namespace pixmeta::test {
namespace {

TEST(MakerNoteTables, RowCounts) {
  const std::pair<MakerTable, size_t> counts[] = {
      {MakerTable::kNikonA, 11}, {MakerTable::kNikonB, 28}, {MakerTable::kOlympus, 33},
      {MakerTable::kCasioA, 26}, {MakerTable::kCasioB, 45}, {MakerTable::kFuji, 18},
      {MakerTable::kCanon, 16},  {MakerTable::kSeiko, 12},  {MakerTable::kSanyo, 6},
      {MakerTable::kMinolta, 2},
  };
  for (const auto& [table, count] : counts) {
    EXPECT_EQ(MakerTableRows(table).size(), count) << static_cast<int>(table);
  }
}

TEST(MakerNoteTables, SkipRowsAndDescriptions) {
  for (int t = 0; t <= static_cast<int>(MakerTable::kMinolta); ++t) {
    for (const TagRow& row : MakerTableRows(static_cast<MakerTable>(t))) {
      EXPECT_FALSE(row.desc.empty()) << row.name;
      if (platform::EqualNoCase(row.name, "skip")) {
        EXPECT_EQ(row.desc, row.name);
      }
    }
  }
  const auto casio = MakerTableRows(MakerTable::kCasioB);
  EXPECT_EQ(casio[static_cast<size_t>(FindTableIndex(0x0E00, casio))].desc,
            "\tPrint Image Matching Info");
  EXPECT_LT(FindTableIndex(0x2013, casio), FindTableIndex(0x2012, casio));
  const auto seiko = MakerTableRows(MakerTable::kSeiko);
  EXPECT_EQ(seiko.back().desc, "skip");
  EXPECT_EQ(seiko[static_cast<size_t>(FindTableIndex(0x0300, seiko))].desc, "??");
}

}  // namespace
}  // namespace pixmeta::test
