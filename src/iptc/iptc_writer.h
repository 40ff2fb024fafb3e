// Writing the held IPTC entries back: the data sets, and the APP13 payload that holds them
// in one IPTC image resource (the record version first) followed by an empty 0x040B one.
// Other resources of the file's APP13 segment are not kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "iptc/iptc_data.h"

namespace pixmeta {

// The 16-bit length of a data set states at most this many value bytes.
inline constexpr size_t kMaxDataSetValue = 0xFFFF;
// A segment's length field counts itself, so its payload holds at most this many bytes.
inline constexpr size_t kMaxSegmentPayload = 0xFFFF - 2;

// 0x1C, record, number, the value's length (16-bit big-endian), the value; none when the
// value is too long for its length.
std::optional<std::string> EncodeDataSet(uint8_t record, uint8_t number, std::string_view value);

// One data set per item of the list. Only commas split it: items are trimmed, except the
// last when the list holds no comma at all; blanks inside and quotes stay; an empty item
// between two commas is written empty. None when an item is too long.
std::optional<std::string> EncodeRepeated(uint8_t record, uint8_t number, std::string_view list);

// An APP13 payload, or why the entries give none.
struct IptcPayload {
  std::optional<std::string> bytes = {};
  std::string error = {};
};

// The payload of the held entries in their order, a repeatable key of record 2 as one data
// set per item. Refused when a value is too long for its data set or the payload for a
// segment.
IptcPayload BuildPayload(const TIPTCdata& iptc);

// Merges into a repeatable key, stores any other; the entry's index, or -1 for a key
// neither held nor in the key table.
int32_t StoreByKind(TIPTCdata& iptc, std::string_view name, std::string_view value);

// Rebuilds the host's APP13 segment from the held entries, then writes the file with save,
// which says why it could not; false, with errorText, when either fails.
bool SaveToJpeg(const TIPTCdata& iptc, IptcHost& host,
                const std::function<bool(std::string& errorText)>& save, std::string& errorText);

}  // namespace pixmeta
