// The fixed table of the IPTC keys that the program knows (record 2 and record 8 data sets)
// and the data sets that may repeat.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "records/tag_entry.h"
#include "util/string_list.h"

namespace pixmeta {

// The 49 rows in table order: record, tag (the data-set number), name, desc and size (the
// maximum value size, shown to the user only). Row 0 is "SKIP", the record version.
std::span<const TagRow> IptcKeyTable();

// The row of a data set of record 2 or 8 that the table does not name: "Custom_" and its
// number, with the description of the same text and a maximum size of 64.
const TagRow& CustomRow(uint8_t record, uint8_t number);

// Whether data sets with this number (of any record) are held as one comma list.
bool IsRepeatable(uint32_t dataSet);

// Zero-based row of the first table row whose name equals name ignoring letter case; -1
// when there is none.
int32_t TableRowOf(std::string_view name);

// The settable keys for the user, one line per row but the "SKIP" row:
// "  --IPTC:ObjectName="Object name", max size=64, Tag#5".
StringList IptcKeyListing();

}  // namespace pixmeta
