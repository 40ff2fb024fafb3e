// Substring and character search and substring replacement on byte strings, with or without
// regard to letter case (Windows-1252), by a skip table (Boyer-Moore-Horspool): a scan jumps
// by up to the pattern length instead of comparing at every position. Positions are 1-based;
// 0 means not found.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pixmeta {

// For every byte value, how far the window may move when that byte is at its end.
using SkipTable = std::array<int32_t, 256>;

// The offset SkipScan returns when the pattern does not occur.
inline constexpr size_t kNoMatch = std::string_view::npos;

// Fills the table for a non-empty pattern: the pattern length for bytes it does not hold
// before its last byte, else the distance from their last such occurrence to the end (0 for
// the byte of a one-byte pattern). The no-case form works on upper-cased bytes.
void BuildSkipTable(std::string_view pattern, SkipTable& table);
void BuildSkipTableNoCase(std::string_view pattern, SkipTable& table);

// 0-based offset of the first match in the text, by a table built for the pattern; kNoMatch
// when there is none.
size_t SkipScan(std::string_view text, std::string_view pattern, const SkipTable& table);
size_t SkipScanNoCase(std::string_view text, std::string_view pattern, const SkipTable& table);

// Position of the first match that starts at or after start (at least 1); 0 when there is
// none or the pattern is empty.
size_t TextIndexFrom(std::string_view source, std::string_view pattern, size_t start);
size_t TextIndexFromNoCase(std::string_view source, std::string_view pattern, size_t start);
size_t FindTextFrom(std::string_view pattern, std::string_view source, bool ignoreCase,
                    size_t start);

// Position of the first c at or after start; 0 when there is none. CharIndexFrom needs a
// start of at least 1, the no-case form takes 0 as 1.
size_t CharIndexFrom(std::string_view text, char c, size_t start);
size_t CharIndexFromNoCase(std::string_view text, char c, size_t start);
size_t FindCharFrom(char c, std::string_view text, bool ignoreCase, size_t start);

// The source with the matches of find replaced, left to right and never overlapping; text a
// replacement writes is not searched again. At most maxCount matches (0: all). An empty find
// leaves the source as it is.
std::string SubstituteText(std::string_view source, std::string_view find,
                           std::string_view replacement, bool caseSensitive, size_t maxCount);

// Every case-sensitive match of find replaced.
std::string SubstituteEvery(std::string_view find, std::string_view replacement,
                            std::string_view source);

}  // namespace pixmeta
