#include "iptc/iptc_writer.h"

namespace pixmeta {

std::optional<std::string> EncodeDataSet(uint8_t record, uint8_t number, std::string_view value) {
  if (value.size() > kMaxDataSetValue) return std::nullopt;
  std::string out{'\x1C', static_cast<char>(record), static_cast<char>(number),
                  static_cast<char>(value.size() >> 8), static_cast<char>(value.size() & 0xFF)};
  out += value;
  return out;
}

}  // namespace pixmeta
