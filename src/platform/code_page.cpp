#include "platform/code_page.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pixmeta::platform {
namespace {

// Unicode code points of the Windows-1252 bytes 0x80..0x9F. The five unassigned bytes map to
// the C1 control of the same number, as the Windows conversion does.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t CodePointOf(unsigned char b) {
  if (b >= 0x80 && b <= 0x9F) return kHighControls[b - 0x80];
  return b;
}

// A code point below U+10000 in UTF-8; returns the end.
char* EncodeUtf8(char* out, char32_t cp) {
  if (cp < 0x80) {
    *out++ = static_cast<char>(cp);
  } else if (cp < 0x800) {
    *out++ = static_cast<char>(0xC0 | (cp >> 6));
    *out++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *out++ = static_cast<char>(0xE0 | (cp >> 12));
    *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (cp & 0x3F));
  }
  return out;
}

// Length of the valid multi-byte UTF-8 sequence starting at text[i] (2 to 4), or 0.
// Overlong forms, surrogates and code points above U+10FFFF are not valid.
size_t Utf8SequenceLength(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  size_t len = 0;
  char32_t value = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    len = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    len = 3;
    value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    len = 4;
    value = lead & 0x07;
  } else {
    return 0;
  }
  if (text.size() - i < len) return 0;
  for (size_t k = 1; k < len; ++k) {
    const unsigned char c = byte(i + k);
    if ((c & 0xC0) != 0x80) return 0;
    value = (value << 6) | (c & 0x3F);
  }
  if ((len == 3 && (value < 0x800 || (value >= 0xD800 && value <= 0xDFFF))) ||
      (len == 4 && (value < 0x10000 || value > 0x10FFFF))) {
    return 0;
  }
  return len;
}

// The end of the run of bytes from i on that are copied as they are: bytes below 0x80, and
// with lfLineEnds not CR either.
size_t PlainRunEnd(std::string_view text, size_t i, bool lfLineEnds) {
  const char* p = text.data();
  const size_t n = text.size();
#if defined(__SSE2__)
  const __m128i cr = _mm_set1_epi8('\r');
  for (; i + 16 <= n; i += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    __m128i special = block;  // the high bit of each byte marks it
    if (lfLineEnds) special = _mm_or_si128(special, _mm_cmpeq_epi8(block, cr));
    if (const int mask = _mm_movemask_epi8(special); mask != 0) {
      return i + static_cast<size_t>(std::countr_zero(static_cast<unsigned>(mask)));
    }
  }
#endif
  while (i < n && static_cast<unsigned char>(p[i]) < 0x80 && !(lfLineEnds && p[i] == '\r')) ++i;
  return i;
}

// Lower case is the inverse of the upper-case table.
constexpr std::array<unsigned char, 256> MakeLowerTable() {
  std::array<unsigned char, 256> lower{};
  for (int i = 0; i < 256; ++i) lower[i] = static_cast<unsigned char>(i);
  for (int i = 255; i >= 0; --i) {
    if (kUpperBytes[i] != i) lower[kUpperBytes[i]] = static_cast<unsigned char>(i);
  }
  return lower;
}
constexpr std::array<unsigned char, 256> kLowerBytes = MakeLowerTable();

}  // namespace

std::string ToOutputUtf8(std::string_view text) {
  std::string out;
  AppendOutputUtf8(out, text, false);
  return out;
}

void AppendOutputUtf8(std::string& out, std::string_view text, bool lfLineEnds) {
  const size_t old = out.size();
  out.resize(old + kMaxOutputGrowth * text.size());
  const char* end = EncodeOutputUtf8(out.data() + old, text, lfLineEnds);
  out.resize(static_cast<size_t>(end - out.data()));
}

char* EncodeOutputUtf8(char* out, std::string_view text, bool lfLineEnds) {
  size_t i = 0;
  while (i < text.size()) {
    const size_t run = PlainRunEnd(text, i, lfLineEnds);
    std::memcpy(out, text.data() + i, run - i);
    out += run - i;
    i = run;
    if (i == text.size()) break;
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte == '\r') {
      const bool pair = i + 1 < text.size() && text[i + 1] == '\n';
      *out++ = pair ? '\n' : '\r';
      i += pair ? 2 : 1;
    } else if (const size_t len = Utf8SequenceLength(text, i); len > 0) {
      std::memcpy(out, text.data() + i, len);
      out += len;
      i += len;
    } else {
      out = EncodeUtf8(out, CodePointOf(byte));
      ++i;
    }
  }
  return out;
}

char LowerByte(char c) { return static_cast<char>(kLowerBytes[static_cast<unsigned char>(c)]); }

std::string UpperCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = UpperByte(c);
  return out;
}

std::string LowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = LowerByte(c);
  return out;
}

}  // namespace pixmeta::platform
