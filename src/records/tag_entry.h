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
int32_t ElementSize(int32_t dataType);

// Where a decoder that splits a value into named sub-fields puts them.
class SubFieldSink {
 public:
  virtual void AddTextEntry(std::string_view name, std::string_view text, int32_t dataType) = 0;

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

struct TTagEntry {
  int32_t id = 0;        // 0 for IFD entries; 1 for maker-note entries and entries added by name
  int32_t dataType = 0;  // TIFF data type of the value
  uint16_t tag = 0;      // tag number (IPTC: data-set number); 0 marks the "Unknown" row
  std::string name;      // the key for lookups by name
  std::string desc;
  std::string codes;     // coded values: "value:text" pairs joined by ","
  std::string text;      // display text of the value
  std::string raw;       // raw value bytes
  int32_t position = 0;  // 1-based position of the value bytes in the EXIF buffer
  std::string printFormat;
  int32_t size = 0;      // byte count of raw (IPTC table rows: the key's maximum size)
  TagDecoder decoder = nullptr;
  uint16_t record = 0;   // IPTC record number
};

// The three lines of an entry in the XML-like blocks: "   <name>", the value (in CDATA for
// the headline and caption tag numbers 105 and 120), "   </name>". Nothing is escaped.
void AppendXmlElement(StringList& list, const TTagEntry& entry);

}  // namespace pixmeta
