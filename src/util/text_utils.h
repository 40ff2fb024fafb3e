// Small text helpers shared by every subsystem. Texts are single-byte Windows-1252 strings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pixmeta {

// Without the blanks and control characters (bytes up to 32) at both ends.
std::string_view Trim(std::string_view text);
std::string_view TrimLeft(std::string_view text);
std::string_view TrimRight(std::string_view text);

// A whole decimal number with an optional sign that fits 32 bits; none otherwise.
bool ParseInt32(std::string_view text, int32_t& value);

// The identification hash: rotate left by 2 bits, then exclusive-or with each byte.
uint32_t IdentHash(std::string_view text);

}  // namespace pixmeta
