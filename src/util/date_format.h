// Day counts written by a user's date format, such as yymmdd or "yyyy-mm-dd hh:nn".
#pragma once

#include <string>
#include <string_view>

namespace pixmeta {

// The day count written by the format. A run of one letter, in either case, is a field:
// y and yy the year's last two digits, three or more y the whole year; m and d the month
// and the day, h, n and s the time of day, z the milliseconds, each doubled (zzz for z)
// with leading zeros. An m run that follows an h run, with no other field between them,
// gives the minutes. Text in double or single quotes is copied without its quotes, every
// other character as it stands. Empty when the day count is no date.
std::string FormatDayCount(double days, std::string_view format);

}  // namespace pixmeta
