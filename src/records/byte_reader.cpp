#include "records/byte_reader.h"

namespace pixmeta {
namespace {

bool WriteBytes(std::span<char> bytes, int64_t pos, uint32_t value, int width, bool bigEndian) {
  if (!FitsIn(bytes.size(), pos, width)) return false;
  for (int i = 0; i < width; ++i) {
    const int shift = 8 * (bigEndian ? width - 1 - i : i);
    bytes[static_cast<size_t>(pos - 1 + i)] = static_cast<char>((value >> shift) & 0xFF);
  }
  return true;
}

}  // namespace

bool Write16(std::span<char> bytes, int64_t pos, uint16_t value, bool bigEndian) {
  return WriteBytes(bytes, pos, value, 2, bigEndian);
}

bool Write32(std::span<char> bytes, int64_t pos, uint32_t value, bool bigEndian) {
  return WriteBytes(bytes, pos, value, 4, bigEndian);
}

}  // namespace pixmeta
