#include "exif/value_format.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <charconv>
#include <cmath>
#include <iterator>
#include <limits>

#include "records/byte_reader.h"
#include "exif/tag_dictionary.h"
#include "platform/clock.h"
#include "util/text_utils.h"

namespace pixmeta {
namespace {

constexpr size_t kMaxElements = 128;
constexpr size_t kMaxCleanText = 64;
constexpr std::string_view kFloatText = "-9999.99";
// Bounds for widths and decimals in formats: the table formats use far less, and the fixed
// buffer below holds any double with this many decimals.
constexpr int kMaxWidth = 64;
constexpr int kMaxDecimals = 60;

std::atomic<int> gpsCoordinateStyle{0};

// The text before the next list separator; rest moves past it.
std::string_view NextItem(std::string_view& rest) {
  const size_t separator = rest.find(kListSeparator);
  const std::string_view item = rest.substr(0, separator);
  rest = separator == std::string_view::npos ? std::string_view{}
                                             : rest.substr(separator + kListSeparator.size());
  return item;
}

template <typename Int>
void AppendInt(std::string& out, Int value) {
  char digits[16];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
}

void AppendPadded(std::string& out, std::string_view text, int width, bool leftAlign) {
  const size_t pad = width > 0 && static_cast<size_t>(width) > text.size()
                         ? static_cast<size_t>(width) - text.size()
                         : 0;
  if (!leftAlign) out.append(pad, ' ');
  out += text;
  if (leftAlign) out.append(pad, ' ');
}

int32_t SignedInt(std::string_view bytes, bool bigEndian) {
  return static_cast<int32_t>(BytesToInt(bytes, bigEndian));
}

double IeeeValue(std::string_view raw, int32_t dataType, bool bigEndian) {
  double value = 0;
  if (dataType == kTypeFloat && raw.size() >= 4) {
    value = std::bit_cast<float>(BytesToInt(raw.substr(0, 4), bigEndian));
  } else if (dataType == kTypeDouble && raw.size() >= 8) {
    const uint64_t first = BytesToInt(raw.substr(0, 4), bigEndian);
    const uint64_t second = BytesToInt(raw.substr(4, 4), bigEndian);
    value = std::bit_cast<double>(bigEndian ? first << 32 | second : second << 32 | first);
  }
  return std::isfinite(value) ? value : 0;
}

// Digits of a fixed-width date field.
bool ParseDigits(std::string_view text, int& value) {
  value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

}  // namespace

void AppendNumeric(std::string& out, std::string_view raw, int32_t dataType,
                   std::string_view codes, std::string_view printFormat, bool bigEndian) {
  const auto size = static_cast<size_t>(ElementSize(dataType));
  if (size == 0) {
    out += '0';
    return;
  }
  // With a print format the elements are made apart first; "%s" takes them as text.
  const bool formatted = !printFormat.empty();
  const bool textFormat = formatted && printFormat.find("%s") != std::string_view::npos;
  if (formatted && !textFormat) {
    AppendPrintFormat(out, printFormat, {}, NumericValue(raw, dataType, bigEndian));
    return;
  }
  std::string elements;
  std::string& text = textFormat ? elements : out;
  const size_t start = text.size();
  const size_t count = std::min(raw.size() / size, kMaxElements);
  const bool integer = dataType == kTypeByte || dataType == kTypeShort || dataType == kTypeLong ||
                       dataType == kTypeSByte || dataType == kTypeSShort || dataType == kTypeSLong;
  const bool rational = dataType == kTypeRational || dataType == kTypeSRational;
  if ((integer || rational) && codes.empty()) {
    // Plain numbers and fractions, the most common values (and the long arrays of maker
    // notes), are written in one piece.
    char digits[kMaxElements * 24];
    char* end = digits;
    for (size_t i = 0; i < count; ++i) {
      if (i > 0) {
        *end++ = ',';
        *end++ = ' ';
      }
      const std::string_view element = raw.substr(i * size, size);
      if (integer) {
        // Array elements are mostly small, often 0.
        const uint32_t value = BytesToInt(element, bigEndian);
        if (value < 10) {
          *end++ = static_cast<char>('0' + value);
        } else {
          end = std::to_chars(end, end + 10, value).ptr;
        }
      } else {
        end = std::to_chars(end, end + 11, SignedInt(element.substr(0, 4), bigEndian)).ptr;
        *end++ = '/';
        end = std::to_chars(end, end + 11, SignedInt(element.substr(4), bigEndian)).ptr;
      }
    }
    text.append(digits, static_cast<size_t>(end - digits));
    if (textFormat) AppendPrintFormat(out, printFormat, elements, 0);
    return;
  }
  for (size_t i = 0; i < count; ++i) {
    if (text.size() > start) text += kListSeparator;  // not after elements that show nothing
    const std::string_view element = raw.substr(i * size, size);
    switch (dataType) {
      case kTypeByte:
      case kTypeShort:
      case kTypeLong:
      case kTypeSByte:
      case kTypeSShort:
      case kTypeSLong: {
        // Signed types show their unsigned reading, as the tag list always did.
        char digits[16];
        const auto result =
            std::to_chars(digits, digits + sizeof digits, BytesToInt(element, bigEndian));
        const std::string_view number(digits, static_cast<size_t>(result.ptr - digits));
        if (codes.empty()) {
          text += number;
        } else {
          text += DecodeCode(codes, number);
        }
        break;
      }
      case kTypeRational:
      case kTypeSRational:
        AppendInt(text, SignedInt(element.substr(0, 4), bigEndian));
        text += '/';
        AppendInt(text, SignedInt(element.substr(4), bigEndian));
        // The key is the whole text so far, so only a single rational can match a code.
        if (!codes.empty()) {
          const std::string_view key = std::string_view(text).substr(start);
          const std::string_view decoded = DecodeCode(codes, key);
          text.append(decoded.data(), decoded.size());
        }
        break;
      case kTypeFloat:
      case kTypeDouble:
        text += kFloatText;
        break;
      default:
        text += '?';
        break;
    }
  }
  if (textFormat) AppendPrintFormat(out, printFormat, elements, 0);
}

std::string FormatNumeric(std::string_view raw, int32_t dataType, std::string_view codes,
                          std::string_view printFormat, bool bigEndian) {
  std::string text;
  AppendNumeric(text, raw, dataType, codes, printFormat, bigEndian);
  return text;
}

double NumericValue(std::string_view raw, int32_t dataType, bool bigEndian) {
  switch (dataType) {
    case kTypeByte:
    case kTypeShort:
    case kTypeLong:
    case kTypeSByte:
    case kTypeSShort:
    case kTypeSLong:
      return SignedInt(raw, bigEndian);
    case kTypeRational:
    case kTypeSRational: {
      const int32_t n = SignedInt(ClampedBytes(raw, 1, 4), bigEndian);
      const int32_t d = SignedInt(ClampedBytes(raw, 5, 4), bigEndian);
      return d == 0 ? 0.0 : static_cast<double>(n) / d;
    }
    case kTypeFloat:
    case kTypeDouble:
      return IeeeValue(raw, dataType, bigEndian);
    default:
      return 0;
  }
}

std::string CleanText(std::string_view text) {
  const std::string_view trimmed = Trim(text);
  const std::string_view head = trimmed.substr(0, kMaxCleanText);
  // Quotes come from the UNDEFINED value text; the test looks at the input, so a quoted value
  // cut at 64 characters keeps its opening quote.
  const auto unquoted = [&trimmed](std::string_view cleaned) {
    const bool quoted = cleaned.size() > 1 && trimmed.front() == '"' && trimmed[cleaned.size() - 1] == '"';
    return quoted ? cleaned.substr(1, cleaned.size() - 2) : cleaned;
  };
  const auto isControl = [](char c) { return static_cast<unsigned char>(c) < 32; };
  if (std::none_of(head.begin(), head.end(), isControl)) return std::string(unquoted(head));
  std::string out;
  out.reserve(head.size());
  std::remove_copy_if(head.begin(), head.end(), std::back_inserter(out), isControl);
  return std::string(unquoted(out));
}

std::string CleanNumberText(std::string_view text) {
  return std::string(text.substr(0, kMaxCleanText));
}

double ParseRationalText(std::string_view text) {
  std::string_view rest = Trim(text);
  int32_t whole = 0;
  if (const size_t blank = rest.find(' '); blank != std::string_view::npos) {
    if (!ParseInt32(rest.substr(0, blank), whole)) return 0;
    rest = Trim(rest.substr(blank + 1));
  }
  const size_t slash = rest.find('/');
  if (slash == std::string_view::npos) return 0;
  int32_t n = 0;
  int32_t d = 0;
  if (!ParseInt32(rest.substr(0, slash), n) || !ParseInt32(rest.substr(slash + 1), d) || d == 0) {
    return 0;
  }
  return (static_cast<double>(whole) * d + n) / d;
}

int32_t RoundHalfEven(double value) {
  if (std::isnan(value)) return 0;
  if (value >= std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value <= std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  double whole = std::floor(value);
  const double fraction = value - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0)) whole += 1;
  return static_cast<int32_t>(whole);
}

std::string FormatFixed(double value, int width, int decimals) {
  // 309 integer digits of the largest double, sign, point and the decimals.
  char buffer[320 + kMaxDecimals];
  decimals = std::clamp(decimals, 0, kMaxDecimals);
  std::string_view digits;
  if (std::fabs(value) < 1e15 && value == std::trunc(value) && !(value == 0 && std::signbit(value))) {
    // A whole number, as most values with a format are (72 dpi, F8, 70 mm): its digits,
    // then the zeros of the decimals, exactly as the general conversion writes them.
    char* end = std::to_chars(buffer, buffer + 20, static_cast<int64_t>(value)).ptr;
    if (decimals > 0) {
      *end++ = '.';
      end = std::fill_n(end, decimals, '0');
    }
    digits = std::string_view(buffer, static_cast<size_t>(end - buffer));
  } else {
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    digits = std::string_view(
        buffer, result.ec == std::errc() ? static_cast<size_t>(result.ptr - buffer) : 0);
  }
  std::string out;
  AppendPadded(out, digits, std::min(width, kMaxWidth), false);
  return out;
}

std::string ApplyPrintFormat(std::string_view format, std::string_view text, double number) {
  std::string out;
  AppendPrintFormat(out, format, text, number);
  return out;
}

void AppendPrintFormat(std::string& out, std::string_view format, std::string_view text,
                       double number) {
  size_t i = 0;
  while (i < format.size()) {
    const size_t percent = format.find('%', i);
    out += format.substr(i, percent - i);
    if (percent == std::string_view::npos) break;
    size_t j = percent + 1;
    if (j < format.size() && format[j] == '%') {
      out += '%';
      i = j + 1;
      continue;
    }
    const bool leftAlign = j < format.size() && format[j] == '-';
    if (leftAlign) ++j;
    auto readNumber = [&format, &j] {
      int value = 0;
      while (j < format.size() && format[j] >= '0' && format[j] <= '9') {
        value = std::min(value * 10 + (format[j] - '0'), kMaxWidth);
        ++j;
      }
      return value;
    };
    const int width = readNumber();
    int decimals = -1;
    if (j < format.size() && format[j] == '.') {
      ++j;
      decimals = readNumber();
    }
    const char conversion = j < format.size() ? format[j] : '\0';
    if (conversion == 's') {
      AppendPadded(out, decimals < 0 ? text : text.substr(0, static_cast<size_t>(decimals)), width,
                   leftAlign);
    } else if (conversion == 'f') {
      AppendPadded(out, FormatFixed(number, 0, decimals < 0 ? 6 : decimals), width, leftAlign);
    } else {
      // Not a conversion this applier knows: keep the text as written.
      out += format.substr(percent, j - percent);
      i = j;
      continue;
    }
    i = j + 1;
  }
}

std::string DecodeComponents(std::string_view valueText, DecodeContext&) {
  static constexpr std::string_view kComponents[] = {"", "Y", "Cb", "Cr", "R", "G", "B"};
  std::string out;
  // The four value bytes follow the opening quote of the value text.
  for (const char c : ClampedBytes(valueText, 2, 4)) {
    const auto code = static_cast<unsigned char>(c);
    if (code < std::size(kComponents)) out += kComponents[code];
  }
  return out;
}

std::string DecodeShutterSpeed(std::string_view valueText, DecodeContext&) {
  // The value is an APEX time value: the exposure lasts 2^-x seconds.
  const double seconds = std::exp2(-ParseRationalText(valueText));
  std::string out = FormatFixed(seconds, 4, 4);
  out += " sec";
  if (seconds <= 0.5) {
    out += " (1/";
    AppendInt(out, RoundHalfEven(seconds > 0 ? 1 / seconds : HUGE_VAL));
    out += ')';
  }
  return out;
}

std::string DecodeFlash(std::string_view valueText, DecodeContext&) {
  // Flash holds one number; of several elements the first counts. A text that does not start
  // with a whole number cannot be decoded and is shown as the cleaned text.
  std::string_view rest = valueText;
  int32_t value = 0;
  if (!ParseInt32(Trim(NextItem(rest)), value)) return CleanText(valueText);
  const auto bits = static_cast<uint32_t>(value);
  std::string out = bits & 1 ? "On" : "Off";
  switch (bits & 6) {
    case 2: out += ", UNKNOWN"; break;
    case 4: out += ", no strobe return"; break;
    case 6: out += ", strobe return"; break;
    default: break;
  }
  switch (bits & 24) {
    case 8: out += ", forced"; break;
    case 16: out += ", surpressed"; break;
    case 24: out += ", auto mode"; break;
    default: break;
  }
  if (bits & 32) out += ", no flash function";
  if (bits & 64) out += ", red-eye reduction";
  return out;
}

std::string DecodeUserComment(std::string_view valueText, DecodeContext&) {
  // The first eight bytes name the character code.
  return std::string(valueText.size() > 8 ? valueText.substr(8) : std::string_view{});
}

std::string DecodeXpText(std::string_view valueText, DecodeContext&) {
  // The bytes are UTF-16LE: the low bytes of the characters stand at the odd positions, and
  // the last item (the terminator's high byte) is left out.
  const size_t lastSeparator = valueText.rfind(kListSeparator);
  if (lastSeparator == std::string_view::npos) return {};
  std::string_view rest = valueText.substr(0, lastSeparator);
  std::string out;
  for (bool lowByte = true; !rest.empty(); lowByte = !lowByte) {
    const std::string_view item = NextItem(rest);
    int32_t code = 0;
    if (lowByte && ParseInt32(item, code) && (code & 0xFF) != 0) {
      out += static_cast<char>(code & 0xFF);
    }
  }
  return out;
}

std::string DecodeGpsCoordinate(std::string_view valueText, DecodeContext&) {
  std::string_view rest = valueText;
  const double degrees = ParseRationalText(NextItem(rest));
  double minutes = ParseRationalText(NextItem(rest));
  double seconds = ParseRationalText(NextItem(rest));
  if (seconds == 0) {
    // Minutes with a fraction and no seconds.
    seconds = (minutes - std::trunc(minutes)) * 60;
    minutes = std::trunc(minutes);
  }
  switch (GpsCoordinateStyle()) {
    case 1:
      return FormatFixed(degrees + (minutes + seconds / 60) / 60, 1, 4) + " Decimal Degrees";
    case 2:
      return FormatFixed(degrees, 0, 0) + " Degrees " + FormatFixed(minutes + seconds / 60, 1, 2) +
             " Minutes";
    case 3:
      return FormatFixed(degrees, 0, 0) + " Degrees " + FormatFixed(minutes, 0, 0) + " Minutes " +
             FormatFixed(seconds, 0, 0) + " Seconds";
    default:
      return FormatFixed(degrees + (minutes + seconds / 60) / 60, 1, 6);
  }
}

std::string DecodeGpsTime(std::string_view valueText, DecodeContext&) {
  std::string_view rest = valueText;
  std::string out = FormatFixed(ParseRationalText(NextItem(rest)), 0, 0);
  out += ':';
  out += FormatFixed(ParseRationalText(NextItem(rest)), 0, 0);
  out += ':';
  out += FormatFixed(ParseRationalText(NextItem(rest)), 0, 0);
  return out;
}

void SetGpsCoordinateStyle(int style) {
  gpsCoordinateStyle.store(style, std::memory_order_relaxed);
}

int GpsCoordinateStyle() { return gpsCoordinateStyle.load(std::memory_order_relaxed); }

double ParseExifDate(std::string_view text) { return TryParseExifDate(text).value_or(0); }

std::optional<double> TryParseExifDate(std::string_view text) {
  if (text.size() < 19) return std::nullopt;
  platform::CalendarTime t;
  if (!ParseDigits(text.substr(0, 4), t.year) || !ParseDigits(text.substr(5, 2), t.month) ||
      !ParseDigits(text.substr(8, 2), t.day) || !ParseDigits(text.substr(11, 2), t.hour) ||
      !ParseDigits(text.substr(14, 2), t.minute) || !ParseDigits(text.substr(17, 2), t.second)) {
    return std::nullopt;
  }
  return platform::EncodeDayCount(t);
}

std::string ExifDateText(double days) {
  std::optional<platform::CalendarTime> t = platform::DecodeDayCount(days);
  if (!t) return {};
  // A sum of day fractions lands a hair beside the second it means, on either side.
  if (t->millisecond >= 500) {
    int secondOfDay = (t->hour * 60 + t->minute) * 60 + t->second + 1;
    if (secondOfDay == 86400) {
      secondOfDay = 0;
      const std::optional<double> midnight =
          platform::EncodeDayCount({.year = t->year, .month = t->month, .day = t->day});
      t = midnight ? platform::DecodeDayCount(*midnight + 1) : std::nullopt;
      if (!t) return {};
    }
    t->hour = secondOfDay / 3600;
    t->minute = secondOfDay / 60 % 60;
    t->second = secondOfDay % 60;
  }
  if (t->year > 9999) return {};
  std::string text(19, ':');
  const auto put = [&text](size_t at, int value, int digits) {
    for (int i = digits - 1; i >= 0; --i) {
      text[at + static_cast<size_t>(i)] = static_cast<char>('0' + value % 10);
      value /= 10;
    }
  };
  put(0, t->year, 4);
  put(5, t->month, 2);
  put(8, t->day, 2);
  text[10] = ' ';
  put(11, t->hour, 2);
  put(14, t->minute, 2);
  put(17, t->second, 2);
  return text;
}

}  // namespace pixmeta
