// Encoding IPTC data sets, and the limits that their lengths and the APP13 segment set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pixmeta {

// The 16-bit length of a data set states at most this many value bytes.
inline constexpr size_t kMaxDataSetValue = 0xFFFF;
// A segment's length field counts itself, so its payload holds at most this many bytes.
inline constexpr size_t kMaxSegmentPayload = 0xFFFF - 2;

// 0x1C, record, number, the value's length (16-bit big-endian), the value; none when the
// value is too long for its length.
std::optional<std::string> EncodeDataSet(uint8_t record, uint8_t number, std::string_view value);

}  // namespace pixmeta
