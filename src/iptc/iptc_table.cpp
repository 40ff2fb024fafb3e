#include "iptc/iptc_table.h"

#include <array>
#include <string>
#include <vector>

#include "platform/code_page.h"

namespace pixmeta {
namespace {

struct KeyRow {
  uint16_t record;
  uint16_t dataSet;
  std::string_view name;
  std::string_view desc;
  int32_t maxSize;
};

constexpr std::array<KeyRow, 49> kKeyRows = {{
    {2, 0, "SKIP", "Record Version", 64},
    {2, 3, "ObjectType", "Object Type Ref", 67},
    {2, 4, "ObjectAttr", "Object Attribute Ref", 67},
    {2, 5, "ObjectName", "Object name", 64},
    {2, 7, "EditStatus", "Edit Status", 64},
    {2, 8, "EditorialUpdate", "Editorial Update", 2},
    {2, 10, "Urgency", "Urgency", 1},
    {2, 12, "SubRef", "Subject Reference", 236},
    {2, 15, "Category", "Category", 3},
    {2, 20, "SuppCategory", "Supplemental category", 32},
    {2, 22, "FixtureID", "Fixture ID", 32},
    {2, 25, "Keywords", "Keywords", 64},
    {2, 26, "ContentLocCode", "Content Location Code", 3},
    {2, 27, "ContentLocName", "Content Location Name", 64},
    {2, 30, "ReleaseDate", "Release Date", 8},
    {2, 35, "ReleaseTime", "Release Time", 11},
    {2, 37, "ExpireDate", "Expiration Date", 8},
    {2, 38, "ExpireTime", "Expiration Time", 11},
    {2, 40, "SpecialInstru", "Special Instructions", 256},
    {2, 42, "ActionAdvised", "Action Advised", 2},
    {2, 45, "RefService", "Reference Service", 10},
    {2, 47, "RefDate", "Reference Date", 8},
    {2, 50, "RefNumber", "Reference Number", 8},
    {2, 55, "DateCreated", "Date created", 8},
    {2, 60, "TimeCreated", "Time created", 11},
    {2, 62, "DigitizeDate", "Digital Creation Date", 8},
    {2, 63, "DigitizeTime", "Digital Creation Time", 11},
    {2, 65, "OriginatingProgram", "Originating Program", 32},
    {2, 70, "ProgramVersion", "Program version", 10},
    {2, 75, "ObjectCycle", "Object Cycle", 1},
    {2, 80, "ByLine", "ByLine", 32},
    {2, 85, "ByLineTitle", "ByLine Title", 32},
    {2, 90, "City", "City", 32},
    {2, 92, "SubLocation", "Sublocation", 32},
    {2, 95, "State", "Province/State", 32},
    {2, 100, "LocationCode", "Country/Primary Location Code", 3},
    {2, 101, "LocationName", "Country/Primary Location Name", 64},
    {2, 103, "TransmissionRef", "Original Transmission Reference", 32},
    {2, 105, "ImageHeadline", "Image headline", 256},
    {2, 110, "ImageCredit", "Image credit", 32},
    {2, 115, "Source", "Source", 32},
    {2, 116, "Copyright", "Copyright Notice", 128},
    {2, 118, "Contact", "Contact", 128},
    {2, 120, "ImageCaption", "Image caption", 2000},
    {2, 122, "ImageCaptionWriter", "Image caption writer", 32},
    {2, 130, "ImageType", "Image type", 2},
    {2, 131, "Orientation", "Image Orientation", 1},
    {2, 135, "LangID", "Language ID", 3},
    {8, 10, "Subfile", "Subfile", 2},
}};

constexpr std::array<TagRow, kKeyRows.size()> MakeTable() {
  std::array<TagRow, kKeyRows.size()> table{};
  for (size_t i = 0; i < kKeyRows.size(); ++i) {
    table[i].record = kKeyRows[i].record;
    table[i].tag = kKeyRows[i].dataSet;
    table[i].name = kKeyRows[i].name;
    table[i].desc = kKeyRows[i].desc;
    table[i].size = kKeyRows[i].maxSize;
  }
  return table;
}

constexpr std::array<TagRow, kKeyRows.size()> kKeyTable = MakeTable();

// Rows for data sets the table does not name: "Custom_" and the data-set number.
struct CustomRows {
  static constexpr size_t kNumbers = 256;
  CustomRows() {
    for (size_t n = 0; n < kNumbers; ++n) names += "Custom_" + std::to_string(n);
    size_t at = 0;
    for (size_t n = 0; n < kNumbers; ++n) {
      const size_t length = 7 + std::to_string(n).size();
      const std::string_view name = std::string_view(names).substr(at, length);
      at += length;
      for (const uint16_t record : {2, 8}) {
        TagRow& row = rows[(record == 8 ? kNumbers : 0) + n];
        row.record = record;
        row.tag = static_cast<uint16_t>(n);
        row.name = name;
        row.desc = name;
        row.size = 64;
      }
    }
  }
  std::string names;
  std::array<TagRow, 2 * kNumbers> rows{};
};

}  // namespace

std::span<const TagRow> IptcKeyTable() { return kKeyTable; }

const TagRow& CustomRow(uint8_t record, uint8_t number) {
  static const CustomRows custom;
  return custom.rows[(record == 8 ? CustomRows::kNumbers : 0) + number];
}

bool IsRepeatable(uint32_t dataSet) { return dataSet == 20 || dataSet == 25; }

int32_t TableRowOf(std::string_view name) {
  for (size_t row = 0; row < kKeyRows.size(); ++row) {
    if (platform::EqualNoCase(kKeyRows[row].name, name)) return static_cast<int32_t>(row);
  }
  return -1;
}

StringList IptcKeyListing() {
  StringList lines;
  for (size_t row = 1; row < kKeyRows.size(); ++row) {
    const KeyRow& key = kKeyRows[row];
    std::string line = "  --IPTC:";
    line += key.name;
    line += "=\"";
    line += key.desc;
    line += "\", max size=";
    line += std::to_string(key.maxSize);
    line += ", Tag#";
    line += std::to_string(key.dataSet);
    lines.Add(std::move(line));
  }
  return lines;
}

}  // namespace pixmeta
