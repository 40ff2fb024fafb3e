// Small text helpers shared by every subsystem. Texts are single-byte Windows-1252 strings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pixmeta {

// Without the blanks and control characters (bytes up to 32) at both ends.
inline std::string_view TrimLeft(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && static_cast<unsigned char>(text[i]) <= 32) ++i;
  return text.substr(i);
}
inline std::string_view TrimRight(std::string_view text) {
  size_t n = text.size();
  while (n > 0 && static_cast<unsigned char>(text[n - 1]) <= 32) --n;
  return text.substr(0, n);
}
inline std::string_view Trim(std::string_view text) { return TrimRight(TrimLeft(text)); }

// A whole decimal number with an optional sign that fits 32 bits; none otherwise.
bool ParseInt32(std::string_view text, int32_t& value);

// The identification hash: rotate left by 2 bits, then exclusive-or with each byte.
uint32_t IdentHash(std::string_view text);

}  // namespace pixmeta
