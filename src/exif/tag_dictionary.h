// The tag dictionary: names, coded values, print formats and decoders of the TIFF/EXIF tags
// (main table) and of the GPS tags (GPS table).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "records/tag_entry.h"

namespace pixmeta {

// The directory kinds that choose a table.
enum DirectoryKind : int { kMainDirectory = 1, kGpsDirectory = 2 };

struct TagDictionary {
  TagDictionary();
  TagDictionary(const TagDictionary&) = delete;
  TagDictionary& operator=(const TagDictionary&) = delete;

  std::string mainDescriptions;  // the descriptions made from names, which rows view
  std::string gpsDescriptions;
  std::vector<TagRow> main;  // 250 tag rows in ascending tag order, then "Unknown" (tag 0)
  std::vector<TagRow> gps;   // tags 0x0000 to 0x001E
  std::vector<uint8_t> mainRowOfTag;  // the main row of each tag number
};

// The tables, built on the first call: rows without a description get one made from their
// name by SplitName.
const TagDictionary& InitDictionary();

// The row of a tag in the table of the directory kind (the last row with the tag wins);
// the "Unknown" row when there is none or the kind is neither main nor GPS.
const TagRow& FindRowByTag(uint16_t tag, int kind);

// Index of the first main row (the "Unknown" row excluded) whose name equals the argument,
// ignoring letter case; -1 when there is none.
int FindRowByName(std::string_view name);

// For maker-note tables: index of the first row with the tag, or -1; the codes of the last
// row with the tag, or empty.
inline int FindTableIndex(uint16_t tag, std::span<const TagRow> table) {
  for (size_t i = 0; i < table.size(); ++i) {
    if (table[i].tag == tag) return static_cast<int>(i);
  }
  return -1;
}
inline std::string_view FindTableCodes(uint16_t tag, std::span<const TagRow> table) {
  for (size_t i = table.size(); i-- > 0;) {
    if (table[i].tag == tag) return table[i].codes;
  }
  return {};
}

// The text of key in a coded-value list such as "1:Normal,3:Rotated 180"; empty when the
// key is not listed. Keys match whole values only.
std::string_view DecodeCode(std::string_view codes, std::string_view key);

// A description from a tag name: "ExifImageWidth" gives "Exif Image Width".
std::string SplitName(std::string_view name);

}  // namespace pixmeta
