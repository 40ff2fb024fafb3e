// The tag record shared by the EXIF dictionary, the EXIF tag list, the maker-note tables and
// the IPTC table, and the TIFF data types.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "util/string_list.h"

namespace pixmeta {

// TIFF data types.
enum TiffType : int32_t {
  kTypeNone = 0,
  kTypeByte = 1,
  kTypeAscii = 2,
  kTypeShort = 3,
  kTypeLong = 4,
  kTypeRational = 5,
  kTypeSByte = 6,
  kTypeUndefined = 7,
  kTypeSShort = 8,
  kTypeSLong = 9,
  kTypeSRational = 10,
  kTypeFloat = 11,
  kTypeDouble = 12,
};

// Bytes per element of a TIFF data type; 0 for types without a value (0 and above 12).
inline int32_t ElementSize(int32_t dataType) {
  constexpr int32_t kSizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
  return dataType >= 0 && dataType <= kTypeDouble ? kSizes[dataType] : 0;
}

struct TagRow;

// Where a decoder that splits a value into named sub-fields puts them. The row names the
// sub-field; it lives in a constant table, as every row does.
class SubFieldSink {
 public:
  virtual void AddTextEntry(const TagRow& row, std::string_view text, int32_t dataType) = 0;

 protected:
  ~SubFieldSink() = default;
};

// What a decoder may use and report besides its result.
struct DecodeContext {
  // Set by a decoder that expanded the value into sub-fields: the tag's own list entry then
  // keeps the plain value text instead of the decoder's result.
  bool multiLine = false;
  SubFieldSink* sink = nullptr;
};

// Turns a value text into its display text.
using TagDecoder = std::string (*)(std::string_view valueText, DecodeContext& context);

// One row of a constant tag table: the EXIF dictionary, a maker-note table, the IPTC key
// table, or the row of a sub-field or derived entry. Rows live as long as the program, so
// entries point at them and their texts are never copied.
struct TagRow {
  uint16_t tag = 0;     // tag number (IPTC: data-set number); 0 marks the "Unknown" row
  uint16_t record = 0;  // IPTC record number
  int32_t size = 0;     // IPTC: the key's maximum size
  std::string_view name;  // the key for lookups by name
  std::string_view desc;
  std::string_view codes;  // coded values: "value:text" pairs joined by ","
  std::string_view printFormat;
  TagDecoder decoder = nullptr;
};

// The row of the empty entry, which a failed lookup returns.
inline constexpr TagRow kEmptyRow{};

// A parsed entry: its row, its display text and where its value lies. The raw bytes are a
// view of the segment they were read from, so that segment must stay put while the entry
// lives; edits patch those bytes in place.
struct TTagEntry {
  const TagRow* row = &kEmptyRow;
  int32_t id = 0;        // 0 for IFD entries; 1 for maker-note entries and entries added by name
  int32_t dataType = 0;  // TIFF data type of the value
  std::string text;      // display text of the value (IPTC: the value as stored)
  std::string_view raw;  // raw value bytes
  int32_t position = 0;  // 1-based position of the value bytes in the EXIF buffer
  int32_t size = 0;      // byte count of raw (IPTC: the key's maximum size)

  uint16_t tag() const { return row->tag; }
  uint16_t record() const { return row->record; }
  std::string_view name() const { return row->name; }
  std::string_view desc() const { return row->desc; }
  std::string_view codes() const { return row->codes; }
  std::string_view printFormat() const { return row->printFormat; }
  TagDecoder decoder() const { return row->decoder; }
};

// The three lines of an entry in the XML-like blocks: "   <name>", the value (in CDATA for
// the headline and caption tag numbers 105 and 120), "   </name>". Nothing is escaped.
void AppendXmlElement(StringList& list, const TTagEntry& entry);

}  // namespace pixmeta
