#include "platform/clock.h"

#include <cmath>
#include <ctime>

namespace pixmeta::platform {
namespace {

constexpr int64_t kMsPerDay = 86'400'000;
constexpr int64_t kUnixEpochDays = 25'569;  // 1970-01-01 as a day count
// Day counts of 0001-01-01 and 9999-12-31.
constexpr double kMinDays = -693'593.0;
constexpr double kMaxDays = 2'958'466.0;

// Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Writes value with exactly digits digits (the fields are in range, so none is lost).
char* Digits(char* out, int value, int digits) {
  for (int i = digits - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return out + digits;
}

// "yyyy-mm-dd", "hh:nn:ss" or both with a blank between; written digit by digit, since a
// report asks for one of these per file.
std::string Format(double days, bool date, bool time) {
  const auto t = DecodeDayCount(days);
  if (!t) return {};
  char buf[20];
  char* out = buf;
  if (date) {
    out = Digits(out, t->year, 4);
    *out++ = '-';
    out = Digits(out, t->month, 2);
    *out++ = '-';
    out = Digits(out, t->day, 2);
    if (time) *out++ = ' ';
  }
  if (time) {
    out = Digits(out, t->hour, 2);
    *out++ = ':';
    out = Digits(out, t->minute, 2);
    *out++ = ':';
    out = Digits(out, t->second, 2);
  }
  return std::string(buf, out);
}

}  // namespace

std::optional<double> EncodeDayCount(const CalendarTime& t) {
  if (t.year < 1 || t.year > 9999 || t.month < 1 || t.month > 12 || t.day < 1 ||
      t.day > DaysInMonth(t.year, t.month) || t.hour < 0 || t.hour > 23 || t.minute < 0 ||
      t.minute > 59 || t.second < 0 || t.second > 59 || t.millisecond < 0 ||
      t.millisecond > 999) {
    return std::nullopt;
  }
  const double date = static_cast<double>(DaysFromCivil(t.year, t.month, t.day) + kUnixEpochDays);
  const double ms = ((t.hour * 60.0 + t.minute) * 60.0 + t.second) * 1000.0 + t.millisecond;
  return date + ms / kMsPerDay;
}

std::optional<CalendarTime> DecodeDayCount(double days) {
  if (!std::isfinite(days) || days < kMinDays || days >= kMaxDays + 1) return std::nullopt;
  // The scale runs forward through 1899-12-30 too, as EncodeDayCount makes it and as
  // shifting a date by adding to it needs: the day is the whole part below the count.
  double whole = std::floor(days);
  int64_t ms = std::llround((days - whole) * kMsPerDay);
  if (ms >= kMsPerDay) {
    ms -= kMsPerDay;
    whole += 1;
  }
  CalendarTime t;
  CivilFromDays(static_cast<int64_t>(whole) - kUnixEpochDays, t.year, t.month, t.day);
  t.hour = static_cast<int>(ms / 3'600'000);
  t.minute = static_cast<int>(ms / 60'000 % 60);
  t.second = static_cast<int>(ms / 1000 % 60);
  t.millisecond = static_cast<int>(ms % 1000);
  return t;
}

double UnixToUtcDays(double unixSeconds) { return unixSeconds / 86400.0 + kUnixEpochDays; }

double UnixToLocalDays(double unixSeconds) {
  const double whole = std::floor(unixSeconds);
  const auto secs = static_cast<time_t>(whole);
  std::tm local{};
  if (localtime_r(&secs, &local) == nullptr) return UnixToUtcDays(unixSeconds);
  return UnixToUtcDays(unixSeconds + static_cast<double>(local.tm_gmtoff));
}

std::optional<double> LocalDaysToUnix(double localDays) {
  const auto t = DecodeDayCount(localDays);
  if (!t) return std::nullopt;
  std::tm local{};
  local.tm_wday = -1;
  local.tm_year = t->year - 1900;
  local.tm_mon = t->month - 1;
  local.tm_mday = t->day;
  local.tm_hour = t->hour;
  local.tm_min = t->minute;
  local.tm_sec = t->second;
  local.tm_isdst = -1;
  const time_t secs = mktime(&local);
  // -1 is both the error result and one valid second; only the error leaves tm_wday unset.
  if (secs == static_cast<time_t>(-1) && local.tm_wday < 0) return std::nullopt;
  return static_cast<double>(secs) + t->millisecond / 1000.0;
}

double LocalNow() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return UnixToLocalDays(static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9);
}

int64_t MonotonicMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

std::string DateTimeText(double days) { return Format(days, true, true); }
std::string DateText(double days) { return Format(days, true, false); }
std::string TimeText(double days) { return Format(days, false, true); }

}  // namespace pixmeta::platform
