// Dates as text: camera dates, digit runs of file names and '/' dates brought into one form,
// yyyy-mm-dd hh:nn:ss, checked and read as day counts; and short image keys made from file
// names without the dates they carry.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pixmeta {

// The text from its first to its last decimal digit; empty when it has none.
std::string TrimToDigits(std::string_view text);

// Whether the text is a date that can be read: yyyy:mm:dd and yyyy-mm-dd with or without a
// time (hh:nn:ss or hh:nn, '.' taken as ':'), yymmdd (else yyyymm), yyyymmdd, and
// mm/dd/yyyy or dd/mm/yyyy with a time. The text is rewritten on the way: in the form
// yyyy-mm-dd hh:nn:ss when it is valid, trimmed or emptied when it is not. With a window of
// w years the date must also lie less than 370 * w days before and 37 * w days after now.
bool IsValidDateText(std::string& text, uint8_t windowYears = 0);

// The day count of a text in the form that IsValidDateText makes (the fields may have
// fewer digits); none for any other text and for impossible dates and times.
std::optional<double> CanonicalDateDays(std::string_view text);

// A short key for a file name without folder and extension: its slug without a date run
// at the start or the end, without '_', '-' and '!' when maxLength is below 20, trimmed to
// letters and digits; "0" when nothing is left, and its start and end when too long.
std::string FileNameKey(std::string_view name, int maxLength);

}  // namespace pixmeta
