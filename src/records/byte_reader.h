// Bounds-checked reading of multi-byte values from byte buffers. Positions are 1-based, as
// the block layouts count them; a read that does not fit the buffer gives no value. The
// readers are inline: a walk calls them several times for every entry it reads.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace pixmeta {

// Whether count bytes from pos lie inside a buffer of the size.
inline bool FitsIn(size_t size, int64_t pos, int64_t count) {
  return pos >= 1 && count >= 0 && pos - 1 <= static_cast<int64_t>(size) - count;
}

// The bytes [pos, pos + count) of data that lie inside it: shorter when the range runs past
// the end, empty when it starts outside.
inline std::string_view ClampedBytes(std::string_view data, int64_t pos, int64_t count) {
  if (pos < 1 || count <= 0 || pos > static_cast<int64_t>(data.size())) return {};
  const auto start = static_cast<size_t>(pos - 1);
  const size_t available = data.size() - start;
  return data.substr(start, static_cast<uint64_t>(count) < available ? static_cast<size_t>(count)
                                                                     : available);
}

// All bytes of raw as one unsigned number in the given byte order; the low 32 bits.
inline uint32_t BytesToInt(std::string_view raw, bool bigEndian) {
  uint32_t value = 0;
  if (bigEndian) {
    for (const char c : raw) value = (value << 8) | static_cast<unsigned char>(c);
  } else {
    for (size_t i = raw.size(); i-- > 0;) value = (value << 8) | static_cast<unsigned char>(raw[i]);
  }
  return value;
}

// Stores a value in place; false (and nothing written) when it does not fit.
bool Write16(std::span<char> bytes, int64_t pos, uint16_t value, bool bigEndian);
bool Write32(std::span<char> bytes, int64_t pos, uint32_t value, bool bigEndian);

// The byte order and the buffer that multi-byte values are read from.
class tEndInd {
 public:
  bool bigEndian = false;
  std::string_view buffer;

  std::optional<uint16_t> Read16(int64_t pos) const {
    if (!FitsIn(buffer.size(), pos, 2)) return std::nullopt;
    return Read16At(pos);
  }
  std::optional<uint32_t> Read32(int64_t pos) const {
    if (!FitsIn(buffer.size(), pos, 4)) return std::nullopt;
    return Read32At(pos);
  }
  uint32_t BytesToInt(std::string_view raw) const { return pixmeta::BytesToInt(raw, bigEndian); }

  // The same without the check, for a caller that checked the bytes at pos are there.
  uint16_t Read16At(int64_t pos) const {
    const auto* p = reinterpret_cast<const unsigned char*>(buffer.data() + pos - 1);
    return static_cast<uint16_t>(bigEndian ? p[0] << 8 | p[1] : p[1] << 8 | p[0]);
  }
  uint32_t Read32At(int64_t pos) const {
    const auto* p = reinterpret_cast<const unsigned char*>(buffer.data() + pos - 1);
    return bigEndian ? uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]
                     : uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
  }
};

}  // namespace pixmeta
