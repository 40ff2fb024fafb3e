// Bounds-checked reading of multi-byte values from byte buffers. Positions are 1-based, as
// the block layouts count them; a read that does not fit the buffer gives no value.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pixmeta {

// The bytes [pos, pos + count) of data that lie inside it: shorter when the range runs past
// the end, empty when it starts outside.
std::string_view ClampedBytes(std::string_view data, int64_t pos, int64_t count);

// All bytes of raw as one unsigned number in the given byte order; the low 32 bits.
uint32_t BytesToInt(std::string_view raw, bool bigEndian);

// Stores a value in place; false (and nothing written) when it does not fit.
bool Write16(std::string& bytes, int64_t pos, uint16_t value, bool bigEndian);
bool Write32(std::string& bytes, int64_t pos, uint32_t value, bool bigEndian);

// The byte order and the buffer that multi-byte values are read from.
class tEndInd {
 public:
  bool bigEndian = false;
  std::string_view buffer;

  std::optional<uint16_t> Read16(int64_t pos) const;
  std::optional<uint32_t> Read32(int64_t pos) const;
  uint32_t BytesToInt(std::string_view raw) const { return pixmeta::BytesToInt(raw, bigEndian); }
};

}  // namespace pixmeta
