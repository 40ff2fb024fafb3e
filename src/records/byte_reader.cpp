#include "records/byte_reader.h"

namespace pixmeta {
namespace {

bool Fits(size_t size, int64_t pos, int64_t count) {
  return pos >= 1 && count >= 0 && pos - 1 <= static_cast<int64_t>(size) - count;
}

bool WriteBytes(std::string& bytes, int64_t pos, uint32_t value, int width, bool bigEndian) {
  if (!Fits(bytes.size(), pos, width)) return false;
  for (int i = 0; i < width; ++i) {
    const int shift = 8 * (bigEndian ? width - 1 - i : i);
    bytes[static_cast<size_t>(pos - 1 + i)] = static_cast<char>((value >> shift) & 0xFF);
  }
  return true;
}

}  // namespace

std::string_view ClampedBytes(std::string_view data, int64_t pos, int64_t count) {
  if (pos < 1 || count <= 0 || pos > static_cast<int64_t>(data.size())) return {};
  const auto start = static_cast<size_t>(pos - 1);
  const size_t available = data.size() - start;
  return data.substr(start, static_cast<uint64_t>(count) < available ? static_cast<size_t>(count)
                                                                     : available);
}

uint32_t BytesToInt(std::string_view raw, bool bigEndian) {
  uint32_t value = 0;
  if (bigEndian) {
    for (const char c : raw) value = (value << 8) | static_cast<unsigned char>(c);
  } else {
    for (size_t i = raw.size(); i-- > 0;) value = (value << 8) | static_cast<unsigned char>(raw[i]);
  }
  return value;
}

bool Write16(std::string& bytes, int64_t pos, uint16_t value, bool bigEndian) {
  return WriteBytes(bytes, pos, value, 2, bigEndian);
}

bool Write32(std::string& bytes, int64_t pos, uint32_t value, bool bigEndian) {
  return WriteBytes(bytes, pos, value, 4, bigEndian);
}

std::optional<uint16_t> tEndInd::Read16(int64_t pos) const {
  if (!Fits(buffer.size(), pos, 2)) return std::nullopt;
  return static_cast<uint16_t>(pixmeta::BytesToInt(buffer.substr(static_cast<size_t>(pos - 1), 2),
                                                   bigEndian));
}

std::optional<uint32_t> tEndInd::Read32(int64_t pos) const {
  if (!Fits(buffer.size(), pos, 4)) return std::nullopt;
  return pixmeta::BytesToInt(buffer.substr(static_cast<size_t>(pos - 1), 4), bigEndian);
}

}  // namespace pixmeta
