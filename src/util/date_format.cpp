#include "util/date_format.h"

#include "platform/clock.h"

namespace pixmeta {
namespace {

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool IsFieldLetter(char lower) {
  return lower == 'y' || lower == 'm' || lower == 'd' || lower == 'h' || lower == 'n' ||
         lower == 's' || lower == 'z';
}

// value with at least digits digits.
void AppendNumber(std::string& out, int value, size_t digits) {
  const std::string text = std::to_string(value);
  if (text.size() < digits) out.append(digits - text.size(), '0');
  out += text;
}

}  // namespace

std::string FormatDayCount(double days, std::string_view format) {
  const auto t = platform::DecodeDayCount(days);
  if (!t) return {};
  std::string out;
  bool afterHour = false;
  size_t i = 0;
  while (i < format.size()) {
    const char c = format[i];
    if (c == '"' || c == '\'') {
      const size_t close = format.find(c, i + 1);
      const size_t end = close == std::string_view::npos ? format.size() : close;
      out.append(format.substr(i + 1, end - i - 1));
      i = end == format.size() ? end : end + 1;
      continue;
    }
    const char letter = AsciiLower(c);
    if (!IsFieldLetter(letter)) {
      out += c;
      ++i;
      continue;
    }
    size_t run = 0;
    while (i + run < format.size() && AsciiLower(format[i + run]) == letter) ++run;
    i += run;
    const size_t digits = run >= 2 ? 2 : 1;
    switch (letter) {
      case 'y':
        if (run <= 2) {
          AppendNumber(out, t->year % 100, 2);
        } else {
          AppendNumber(out, t->year, 4);
        }
        break;
      case 'm':
        AppendNumber(out, afterHour ? t->minute : t->month, digits);
        break;
      case 'd':
        AppendNumber(out, t->day, digits);
        break;
      case 'h':
        AppendNumber(out, t->hour, digits);
        break;
      case 'n':
        AppendNumber(out, t->minute, digits);
        break;
      case 's':
        AppendNumber(out, t->second, digits);
        break;
      default:  // 'z'
        AppendNumber(out, t->millisecond, run >= 3 ? 3 : 1);
        break;
    }
    afterHour = letter == 'h';
  }
  return out;
}

}  // namespace pixmeta
