#include "util/skip_search.h"

#include <algorithm>
#include <cassert>

#include "platform/code_page.h"

namespace pixmeta {
namespace {

using platform::kUpperBytes;

unsigned char ByteAt(std::string_view text, size_t i) {
  return static_cast<unsigned char>(text[i]);
}

template <bool kNoCase>
unsigned char Key(unsigned char b) {
  if constexpr (kNoCase) {
    return kUpperBytes[b];
  } else {
    return b;
  }
}

template <bool kNoCase>
void BuildTable(std::string_view pattern, SkipTable& table) {
  assert(!pattern.empty() && "callers reject an empty pattern");
  const size_t m = pattern.size();
  table.fill(static_cast<int32_t>(m));
  // Later occurrences override earlier ones: each byte keeps its distance from its last
  // occurrence before the final byte to the end.
  for (size_t k = 0; k + 1 < m; ++k) {
    table[Key<kNoCase>(ByteAt(pattern, k))] = static_cast<int32_t>(m - 1 - k);
  }
  if (m == 1) table[Key<kNoCase>(ByteAt(pattern, 0))] = 0;
}

template <bool kNoCase>
size_t Scan(std::string_view text, std::string_view pattern, const SkipTable& table) {
  const size_t n = text.size();
  const size_t m = pattern.size();
  if (m == 0 || m > n) return kNoMatch;
  // end is the 0-based position of the window's last byte.
  for (size_t end = m - 1; end < n;) {
    size_t i = end;
    size_t k = m - 1;
    while (Key<kNoCase>(ByteAt(text, i)) == Key<kNoCase>(ByteAt(pattern, k))) {
      if (k == 0) return i;
      --i;
      --k;
    }
    // The jump is read for the byte at the window's end, not for the one that differed. A
    // table built for this pattern never holds less than 1 for a byte that did not match;
    // the floor keeps any other table from stalling the scan.
    end += static_cast<size_t>(std::max(table[Key<kNoCase>(ByteAt(text, end))], int32_t{1}));
  }
  return kNoMatch;
}

template <bool kNoCase>
size_t IndexFrom(std::string_view source, std::string_view pattern, size_t start) {
  assert(start >= 1 && "positions start at 1");
  if (pattern.empty() || source.size() < pattern.size()) return 0;
  // A release build that is handed 0 reads from the first byte rather than before it.
  const size_t from = std::max(start, size_t{1}) - 1;
  if (from >= source.size()) return 0;
  SkipTable table;
  BuildTable<kNoCase>(pattern, table);
  const size_t at = Scan<kNoCase>(source.substr(from), pattern, table);
  return at == kNoMatch ? 0 : from + at + 1;
}

}  // namespace

void BuildSkipTable(std::string_view pattern, SkipTable& table) {
  BuildTable<false>(pattern, table);
}

void BuildSkipTableNoCase(std::string_view pattern, SkipTable& table) {
  BuildTable<true>(pattern, table);
}

size_t SkipScan(std::string_view text, std::string_view pattern, const SkipTable& table) {
  return Scan<false>(text, pattern, table);
}

size_t SkipScanNoCase(std::string_view text, std::string_view pattern, const SkipTable& table) {
  return Scan<true>(text, pattern, table);
}

size_t TextIndexFrom(std::string_view source, std::string_view pattern, size_t start) {
  return IndexFrom<false>(source, pattern, start);
}

size_t TextIndexFromNoCase(std::string_view source, std::string_view pattern, size_t start) {
  return IndexFrom<true>(source, pattern, start);
}

size_t FindTextFrom(std::string_view pattern, std::string_view source, bool ignoreCase,
                    size_t start) {
  return ignoreCase ? TextIndexFromNoCase(source, pattern, start)
                    : TextIndexFrom(source, pattern, start);
}

size_t CharIndexFrom(std::string_view text, char c, size_t start) {
  assert(start >= 1 && "positions start at 1");
  if (text.empty() || text.size() < start) return 0;
  const size_t at = text.find(c, std::max(start, size_t{1}) - 1);
  return at == std::string_view::npos ? 0 : at + 1;
}

size_t CharIndexFromNoCase(std::string_view text, char c, size_t start) {
  if (text.empty() || text.size() < start) return 0;
  const unsigned char wanted = kUpperBytes[static_cast<unsigned char>(c)];
  for (size_t i = std::max(start, size_t{1}) - 1; i < text.size(); ++i) {
    if (kUpperBytes[ByteAt(text, i)] == wanted) return i + 1;
  }
  return 0;
}

size_t FindCharFrom(char c, std::string_view text, bool ignoreCase, size_t start) {
  return ignoreCase ? CharIndexFromNoCase(text, c, start) : CharIndexFrom(text, c, start);
}

std::string SubstituteText(std::string_view source, std::string_view find,
                           std::string_view replacement, bool caseSensitive, size_t maxCount) {
  const size_t n = source.size();
  const size_t m = find.size();
  const size_t q = replacement.size();
  if (n == 0 || m == 0) return std::string(source);
  const size_t limit = maxCount == 0 ? kNoMatch : maxCount;
  SkipTable table;
  if (caseSensitive) {
    BuildSkipTable(find, table);
  } else {
    BuildSkipTableNoCase(find, table);
  }
  std::string out;
  // Room for the longest possible result when the replacement is longer (every window a
  // match), else for the source.
  out.reserve(q > m ? n / m * q + n % m : n);
  size_t pos = 0;
  for (size_t count = 0; count < limit && n - pos >= m; ++count) {
    const std::string_view rest = source.substr(pos);
    const size_t at =
        caseSensitive ? SkipScan(rest, find, table) : SkipScanNoCase(rest, find, table);
    if (at == kNoMatch) break;
    out.append(rest.substr(0, at));
    out.append(replacement);
    pos += at + m;
  }
  out.append(source.substr(pos));
  return out;
}

std::string SubstituteEvery(std::string_view find, std::string_view replacement,
                            std::string_view source) {
  if (find == replacement) return std::string(source);
  // Replacing a match and searching on from the end of its replacement is a case-sensitive
  // substitution of all matches.
  return SubstituteText(source, find, replacement, true, 0);
}

}  // namespace pixmeta
