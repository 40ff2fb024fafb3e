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

// Writes the special byte at text[i] (a CR, or a byte of 0x80 or above) as output and
// returns the position after what it took.
size_t EncodeSpecial(char*& out, std::string_view text, size_t i) {
  const auto byte = static_cast<unsigned char>(text[i]);
  if (byte == '\r') {
    const bool pair = i + 1 < text.size() && text[i + 1] == '\n';
    *out++ = pair ? '\n' : '\r';
    return i + (pair ? 2 : 1);
  }
  if (const size_t len = Utf8SequenceLength(text, i); len > 0) {
    std::memcpy(out, text.data() + i, len);
    out += len;
    return i + len;
  }
  out = EncodeUtf8(out, CodePointOf(byte));
  return i + 1;
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
  const char* p = text.data();
  const size_t n = text.size();
  size_t i = 0;
#if defined(__SSE2__)
  // Sixteen bytes at a time: a block is stored whole, and out moves on by its plain part.
  // While a whole block remains to be read, out has room for at least three blocks.
  const __m128i cr = _mm_set1_epi8('\r');
  while (i + 16 <= n) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    __m128i special = block;  // the high bit of each byte marks it
    if (lfLineEnds) special = _mm_or_si128(special, _mm_cmpeq_epi8(block, cr));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), block);
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(special));
    if (mask == 0) {
      out += 16;
      i += 16;
      continue;
    }
    const auto plain = static_cast<size_t>(std::countr_zero(mask));
    out += plain;
    i += plain;
    if (p[i] == '\r' && i + 1 < n && p[i + 1] == '\n') {  // the usual line end, in line
      *out++ = '\n';
      i += 2;
    } else {
      i = EncodeSpecial(out, text, i);
    }
  }
#endif
  while (i < n) {
    const auto byte = static_cast<unsigned char>(p[i]);
    if (byte < 0x80 && !(lfLineEnds && byte == '\r')) {
      *out++ = p[i++];
    } else {
      i = EncodeSpecial(out, text, i);
    }
  }
  return out;
}

bool IsUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    const size_t len = Utf8SequenceLength(text, i);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

std::string Windows1252ToUtf8(std::string_view text) {
  std::string out(kMaxOutputGrowth * text.size(), '\0');
  char* end = out.data();
  for (const char c : text) end = EncodeUtf8(end, CodePointOf(static_cast<unsigned char>(c)));
  out.resize(static_cast<size_t>(end - out.data()));
  return out;
}

std::optional<char> Windows1252Byte(char32_t codePoint) {
  if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
    return static_cast<char>(codePoint);
  }
  for (size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == codePoint) return static_cast<char>(0x80 + i);
  }
  return std::nullopt;
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
