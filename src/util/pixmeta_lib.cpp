#include "util/pixmeta_lib.h"

#include <algorithm>
#include <optional>

#include "platform/code_page.h"
#include "platform/file_system.h"
#include "util/text_utils.h"

namespace pixmeta {
namespace {

unsigned char ByteAt(std::string_view text, size_t i) {
  return static_cast<unsigned char>(text[i]);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsNumberRunChar(char c) { return c == '-' || IsDigit(c); }

bool IsWordBreak(char c) { return c == ' ' || c == '-' || c == '.'; }

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// The slug byte of a lower-cased byte.
char SlugByte(unsigned char b) {
  if (b == '!' || b == '-' || b == '_' || (b >= '0' && b <= '9') || (b >= 'a' && b <= 'z')) {
    return static_cast<char>(b);
  }
  if (b >= ':' && b <= '@') return '-';
  if (b >= 0xE0 && b <= 0xE6) return 'a';
  if (b >= 0xE8 && b <= 0xEB) return 'e';
  if (b >= 0xEC && b <= 0xEF) return 'i';
  if (b >= 0xF2 && b <= 0xF8) return 'o';
  if (b >= 0xF9 && b <= 0xFC) return 'u';
  return '_';
}

// One UTF-8 character read at text[i]: its code point, or none for a byte run that is not
// UTF-8, and the bytes taken. An invalid run is its longest start that could still have
// become a character (at least one byte), so the bytes after it are read afresh.
struct Utf8Char {
  char32_t codePoint;
  bool valid;
  size_t length;
};

Utf8Char ReadUtf8(std::string_view text, size_t i) {
  const unsigned char lead = ByteAt(text, i);
  if (lead < 0x80) return {lead, true, 1};
  size_t length = 0;
  char32_t codePoint = 0;
  // The range of the second byte, narrowed to refuse overlong forms, surrogates and code
  // points above U+10FFFF.
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    codePoint = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    codePoint = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    codePoint = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return {0, false, 1};
  }
  for (size_t k = 1; k < length; ++k) {
    if (i + k >= text.size()) return {0, false, k};
    const unsigned char b = ByteAt(text, i + k);
    if (b < low || b > high) return {0, false, k};
    codePoint = (codePoint << 6) | (b & 0x3F);
    low = 0x80;
    high = 0xBF;
  }
  return {codePoint, true, length};
}

// The backslash and the control characters that would end a statement's line, escaped as a
// double-quoted SQL literal reads them.
void AppendSqlEscaped(std::string& out, char c) {
  switch (c) {
    case '\\':
      out += "\\\\";
      break;
    case '\t':
      out += "\\t";
      break;
    case '\r':
      out += "\\r";
      break;
    case '\n':
      out += "\\n";
      break;
    default:
      out += c;
  }
}

}  // namespace

std::string SqlSafeText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c == '"') {
      out += '\'';
    } else if (c == '\0') {
      out += ' ';
    } else {
      AppendSqlEscaped(out, c);
    }
  }
  return out;
}

std::string SqlExactText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c == '"') {
      out += "\\\"";
    } else if (c == '\0') {
      out += "\\0";
    } else {
      AppendSqlEscaped(out, c);
    }
  }
  return out;
}

std::string CapitalizeWords(std::string_view text) {
  std::string out(text);
  const size_t n = text.size();
  bool wordStart = true;
  for (size_t i = 0; i < n; ++i) {
    if (wordStart && i + 2 < n && IsWordBreak(text[i + 1])) wordStart = false;
    out[i] = wordStart ? platform::UpperByte(text[i]) : platform::LowerByte(text[i]);
    wordStart = IsWordBreak(text[i]);
  }
  return out;
}

std::string FileNameSlug(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = SlugByte(static_cast<unsigned char>(platform::LowerByte(c)));
  return out;
}

std::string FileNameWithoutExt(std::string_view path) {
  constexpr char kFolderEnds[] = {platform::kSeparator, ':', '\0'};
  const size_t folderEnd = path.find_last_of(kFolderEnds);
  const std::string_view name =
      folderEnd == std::string_view::npos ? path : path.substr(folderEnd + 1);
  return std::string(name.substr(0, name.rfind('.')));
}

std::string DigitGroupAt(std::string_view text, int n) {
  std::string_view group;
  size_t i = 0;
  for (int k = 0; k < n; ++k) {
    while (i < text.size() && !IsDigit(text[i])) ++i;
    const size_t start = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    group = text.substr(start, i - start);
  }
  return std::string(group);
}

std::string NumberRunAt(std::string_view text, int direction) {
  if (text.empty()) return {};
  if (direction >= 1) {
    size_t end = 0;
    while (end < text.size() && IsNumberRunChar(text[end])) ++end;
    return std::string(text.substr(0, end));
  }
  size_t stop = text.size() - 1;
  while (stop > 0 && IsNumberRunChar(text[stop])) --stop;
  return std::string(text.substr(stop + 1));
}

bool IsNumberText(std::string_view text) {
  if (text.empty()) return false;
  if (text == "true" || text == "false") return true;
  if (text.size() > 1 && text[0] == '0' && text[1] != '.') return false;
  if (text == "-" || text.back() == '.') return false;
  if (text.size() == 1) return IsDigit(text[0]);
  if (text[0] != '-' && !IsDigit(text[0])) return false;
  bool point = false;
  for (const char c : text.substr(1)) {
    if (IsDigit(c)) continue;
    if (c != '.' || point) return false;
    point = true;
  }
  return true;
}

bool LooksLikeUtf8(std::string_view text) {
  const size_t n = std::min(text.size(), size_t{16384});
  size_t p = 0;
  while (p < n && ByteAt(text, p) < 0x80) ++p;
  if (p == n) return false;
  // The continuation bytes, and one byte more, must lie within what is examined.
  const auto continued = [&](size_t count) {
    if (n <= p + count + 1) return false;
    for (size_t k = 1; k <= count; ++k) {
      if (!IsContinuation(ByteAt(text, p + k))) return false;
    }
    return true;
  };
  const unsigned char lead = ByteAt(text, p);
  if ((lead & 0xE0) == 0xC0) return continued(1);
  if ((lead & 0xF0) == 0xE0) return continued(2);
  if ((lead & 0xF8) == 0xF0) return continued(3);
  return false;
}

std::string Utf8ToWindows1252(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const Utf8Char c = ReadUtf8(text, i);
    const std::optional<char> b = c.valid ? platform::Windows1252Byte(c.codePoint) : std::nullopt;
    out += b.value_or('?');
    i += c.length;
  }
  return out;
}

std::string Utf8ToAnsiText(std::string_view text) {
  return std::string(Trim(Utf8ToWindows1252(text)));
}

std::string MetaText(std::string_view text) {
  if (!text.empty() && LooksLikeUtf8(text)) return Utf8ToAnsiText(text);
  return std::string(text);
}

}  // namespace pixmeta
