// Dates and times. A day count is a double: days since 1899-12-30 00:00, the fraction being
// the time of day. Texts are fixed and locale-independent: "yyyy-mm-dd hh:nn:ss".
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace pixmeta::platform {

struct CalendarTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// Day count of a calendar time; none when a field is out of range (month 13, 30 February,
// hour 24 and so on) or the year lies outside 1..9999.
std::optional<double> EncodeDayCount(const CalendarTime& t);
// Calendar fields of a day count, rounded to the millisecond; none outside years 1..9999.
std::optional<CalendarTime> DecodeDayCount(double days);

// Seconds since 1970-01-01 UTC (with a fraction) as a day count in UTC or in local time.
double UnixToUtcDays(double unixSeconds);
double UnixToLocalDays(double unixSeconds);
// A local day count as seconds since 1970-01-01 UTC; none when it cannot be converted.
std::optional<double> LocalDaysToUnix(double localDays);

double LocalNow();

// Milliseconds of a clock that only moves forward, cheap enough to read once per file.
int64_t MonotonicMilliseconds();

std::string DateTimeText(double days);  // yyyy-mm-dd hh:nn:ss
std::string DateText(double days);      // yyyy-mm-dd
std::string TimeText(double days);      // hh:nn:ss

}  // namespace pixmeta::platform
