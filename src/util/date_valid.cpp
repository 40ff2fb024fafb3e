#include "util/date_valid.h"

#include <cmath>

#include "platform/clock.h"
#include "util/pixmeta_lib.h"
#include "util/text_utils.h"

namespace pixmeta {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A field as a number, 0 when it is not one.
int32_t NumberOrZero(std::string_view text) {
  int32_t value = 0;
  return ParseInt32(text, value) ? value : 0;
}

// The century put before a two-digit year: 80 to 99 are read as 1980 to 1999.
const char* CenturyOf(std::string_view year) {
  return !year.empty() && (year[0] == '8' || year[0] == '9') ? "19" : "20";
}

bool HasPm(std::string_view text) {
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if ((text[i] == 'p' || text[i] == 'P') && (text[i + 1] == 'm' || text[i + 1] == 'M')) {
      return true;
    }
  }
  return false;
}

// yyyy:mm:dd becomes yyyy-mm-dd; points become colons, so 12.30 reads as a time.
void RepairSeparators(std::string& text) {
  if (text.find(':') == 4) text[4] = '-';
  if (text.find(':') == 7) text[7] = '-';
  for (char& c : text) {
    if (c == '.') c = ':';
  }
}

struct DateFields {
  std::string year;
  std::string month;
  std::string day;
};

// mm/dd/yyyy or dd/mm/yyyy with an optional time; none when the month or a pm hour is not a
// number.
std::optional<DateFields> ReadSlashForm(std::string& text) {
  const std::string date = TokenAt(text, 1, ' ');
  const std::string time = TokenAt(text, 2, ' ');
  std::string hour = TokenAt(time, 1, ':');
  const std::string minute = TokenAt(time, 2, ':');
  if (HasPm(text)) {
    int32_t h = 0;
    if (!ParseInt32(hour, h)) return std::nullopt;
    hour = std::to_string(h + 12);
  }
  DateFields f{TokenAt(date, 3, '/'), TokenAt(date, 1, '/'), TokenAt(date, 2, '/')};
  int32_t month = 0;
  if (!ParseInt32(f.month, month)) return std::nullopt;
  if (month > 12) f.month.swap(f.day);  // day first
  if (f.month.size() == 1) f.month.insert(0, 1, '0');
  if (f.day.size() == 1) f.day.insert(0, 1, '0');
  if (f.year.size() < 4) f.year.insert(0, CenturyOf(f.year));
  text = f.year + '-' + f.month + '-' + f.day + ' ' + hour + ':' + minute + ":00";
  return f;
}

// yymmdd, or yyyymm when that is no date.
DateFields ReadSixDigits(std::string& text) {
  DateFields f{CenturyOf(text) + text.substr(0, 2), text.substr(2, 2), text.substr(4, 2)};
  const int32_t month = NumberOrZero(f.month);
  const int32_t day = NumberOrZero(f.day);
  if (month < 1 || month > 12 || day < 1 || day > 31) {
    f = {text.substr(0, 4), text.substr(4, 2), "01"};
  }
  text = f.year + '-' + f.month + '-' + f.day + " 00:00:00";
  return f;
}

// The text begins yyyy-mm-dd: completed to yyyy-mm-dd hh:nn:ss by the given tail; none when
// the first '-' is elsewhere.
std::optional<DateFields> ReadDashForm(std::string& text, std::string_view tail) {
  text += tail;
  if (text.find('-') != 4) return std::nullopt;
  return DateFields{text.substr(0, 4), text.substr(5, 2), text.substr(8, 2)};
}

std::optional<DateFields> ReadForm(std::string& text) {
  if (text.find('/') == 2) return ReadSlashForm(text);
  switch (text.size()) {
    case 6:
      return ReadSixDigits(text);
    case 8: {
      DateFields f{text.substr(0, 4), text.substr(4, 2), text.substr(6, 2)};
      text = f.year + '-' + f.month + '-' + f.day + " 00:00:00";
      return f;
    }
    case 19:
      return ReadDashForm(text, "");
    case 16:
      return ReadDashForm(text, ":00");
    case 10:
      return ReadDashForm(text, " 00:00:00");
    default:
      text.clear();
      return std::nullopt;
  }
}

bool InRange(const DateFields& f) {
  const int32_t year = NumberOrZero(f.year);
  const int32_t month = NumberOrZero(f.month);
  const int32_t day = NumberOrZero(f.day);
  return year >= 1900 && year <= 2100 && month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

// A field of one to four digits ended by sep (or by the end of the text when sep is 0).
bool ReadField(std::string_view& text, char sep, int& value) {
  size_t n = 0;
  value = 0;
  while (n < text.size() && n < 5 && IsDigit(text[n])) value = value * 10 + (text[n++] - '0');
  if (n == 0 || n > 4) return false;
  text.remove_prefix(n);
  if (sep == '\0') return text.empty();
  if (text.empty() || text.front() != sep) return false;
  text.remove_prefix(1);
  return true;
}

double RoundHalfEven(double x) {
  const double r = std::round(x);
  return std::fabs(x - std::trunc(x)) == 0.5 ? 2 * std::round(x / 2) : r;
}

bool IsKeyChar(char c) {
  const auto b = static_cast<unsigned char>(c);
  return IsDigit(c) || (b >= 'A' && b <= 'Z') || b > 96;
}

bool IsDateRunLength(size_t n) { return n == 6 || n == 8 || n == 10; }
bool IsDateTimeRunLength(size_t n) { return n == 11 || n == 13 || n == 15; }

// Whether a run of digits and '-' is a date, alone or followed by '-' and a time.
bool IsDateRun(const std::string& run) {
  std::string copy;
  if (IsDateRunLength(run.size())) {
    copy = run;
  } else if (IsDateTimeRunLength(run.size())) {
    copy = TokenAt(run, 1, '-');
  } else {
    return false;
  }
  return IsValidDateText(copy);
}

}  // namespace

std::string TrimToDigits(std::string_view text) {
  size_t first = 0;
  while (first < text.size() && !IsDigit(text[first])) ++first;
  size_t end = text.size();
  while (end > first && !IsDigit(text[end - 1])) --end;
  return std::string(text.substr(first, end - first));
}

bool IsValidDateText(std::string& text, uint8_t windowYears) {
  text = TrimToDigits(text);
  if (text.size() < 6 || text.starts_with("0000")) return false;
  RepairSeparators(text);
  const std::optional<DateFields> fields = ReadForm(text);
  if (!fields || !InRange(*fields)) return false;
  const std::optional<double> days = CanonicalDateDays(text);
  if (!days) return false;
  if (windowYears == 0) return true;
  const double now = platform::LocalNow();
  return *days > now - 370.0 * windowYears && *days < now + 37.0 * windowYears;
}

std::optional<double> CanonicalDateDays(std::string_view text) {
  platform::CalendarTime t;
  if (!ReadField(text, '-', t.year) || !ReadField(text, '-', t.month) ||
      !ReadField(text, ' ', t.day) || !ReadField(text, ':', t.hour) ||
      !ReadField(text, ':', t.minute) || !ReadField(text, '\0', t.second)) {
    return std::nullopt;
  }
  return platform::EncodeDayCount(t);
}

std::string FileNameKey(std::string_view name, int maxLength) {
  std::string s = FileNameSlug(name);
  const std::string lead = NumberRunAt(s, 1);
  if (IsDateRun(lead)) s.erase(0, lead.size());
  // A run at the end never holds the first byte, so one byte stands before it.
  const std::string trail = NumberRunAt(s, 0);
  if (IsDateRun(trail)) s.resize(s.size() - trail.size() - 1);
  if (maxLength < 20) s = DeleteEvery("!", DeleteEvery("-", DeleteEvery("_", s)));
  size_t first = 0;
  while (first < s.size() && !IsKeyChar(s[first])) ++first;
  size_t end = s.size();
  while (end > first && !IsKeyChar(s[end - 1])) --end;
  s = s.substr(first, end - first);
  if (s.empty()) s.push_back('0');
  if (maxLength >= 0 && s.size() > static_cast<size_t>(maxLength)) {
    const auto head = static_cast<size_t>(RoundHalfEven(maxLength * 0.75));
    const auto tail = static_cast<size_t>(RoundHalfEven(maxLength * 0.25));
    // Both parts together are at most maxLength bytes long, shorter than s.
    s.erase(head, s.size() - head - tail);
  }
  return s;
}

}  // namespace pixmeta
