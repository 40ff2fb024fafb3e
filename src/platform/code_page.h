// The program works on single-byte Windows-1252 text internally. This module owns the
// conversions at the boundary (console and saved files are UTF-8) and the byte case tables.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace pixmeta::platform {

// Text as written to the console and to saved files: byte runs that already form valid
// UTF-8 pass unchanged, every other byte is taken as its Windows-1252 character. Text that
// is already such output comes out unchanged.
std::string ToOutputUtf8(std::string_view text);

// The same, appended to out; with lfLineEnds every CR LF pair becomes LF, as the console
// writes lines. Runs of plain ASCII are found many bytes at a time and copied whole.
void AppendOutputUtf8(std::string& out, std::string_view text, bool lfLineEnds);

// The same, written at out, which has room for kMaxOutputGrowth bytes per byte of text;
// returns the end of what was written.
inline constexpr size_t kMaxOutputGrowth = 3;
char* EncodeOutputUtf8(char* out, std::string_view text, bool lfLineEnds);

// Whether the whole text is valid UTF-8 (plain ASCII is).
bool IsUtf8(std::string_view text);

// Every byte taken as its Windows-1252 character, in UTF-8.
std::string Windows1252ToUtf8(std::string_view text);

// The Windows-1252 byte of a Unicode character; none when the code page has no such
// character. The five bytes the code page leaves undefined stand for the C1 control of the
// same number, as in the output conversion.
std::optional<char> Windows1252Byte(char32_t codePoint);

// The upper case of every Windows-1252 byte: ASCII letters, the accented letters from 0xE0
// (but the division sign 0xF7), and the four pairs of the 0x80 block.
constexpr std::array<unsigned char, 256> MakeUpperTable() {
  std::array<unsigned char, 256> upper{};
  for (int i = 0; i < 256; ++i) upper[i] = static_cast<unsigned char>(i);
  for (int c = 'a'; c <= 'z'; ++c) upper[c] = static_cast<unsigned char>(c - 32);
  for (int c = 0xE0; c <= 0xFE; ++c) {
    if (c != 0xF7) upper[c] = static_cast<unsigned char>(c - 32);
  }
  upper[0x9A] = 0x8A;  // S caron
  upper[0x9C] = 0x8C;  // OE ligature
  upper[0x9E] = 0x8E;  // Z caron
  upper[0xFF] = 0x9F;  // Y diaeresis
  return upper;
}
inline constexpr std::array<unsigned char, 256> kUpperBytes = MakeUpperTable();

// Upper and lower case of one Windows-1252 byte.
inline char UpperByte(char c) { return static_cast<char>(kUpperBytes[static_cast<unsigned char>(c)]); }
char LowerByte(char c);

std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);

// Equality ignoring letter case, by the same tables.
inline bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (kUpperBytes[static_cast<unsigned char>(a[i])] !=
        kUpperBytes[static_cast<unsigned char>(b[i])]) {
      return false;
    }
  }
  return true;
}

}  // namespace pixmeta::platform
