// Display texts and numbers of raw TIFF values, the decoders named by the tag dictionary,
// and EXIF date-times.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "records/tag_entry.h"

namespace pixmeta {

// Between the elements of a multi-valued entry.
inline constexpr std::string_view kListSeparator = ", ";

// Display text of a numeric value: the elements (at most 128) joined by the list
// separator, coded values decoded, then the print format applied; appended to out.
void AppendNumeric(std::string& out, std::string_view raw, int32_t dataType,
                   std::string_view codes, std::string_view printFormat, bool bigEndian);
std::string FormatNumeric(std::string_view raw, int32_t dataType, std::string_view codes,
                          std::string_view printFormat, bool bigEndian);

// The number a raw value stands for; 0 for texts and for types without a number. Integers
// and rationals read as signed 32-bit; FLOAT and DOUBLE give their IEEE value, 0 when that
// is not finite.
double NumericValue(std::string_view raw, int32_t dataType, bool bigEndian);

// Trimmed, at most 64 characters, control characters dropped, surrounding quotes removed.
std::string CleanText(std::string_view text);
// The same for the text AppendNumeric makes without codes and print format: it has no
// blanks at its ends, no control characters and no quotes, so only the cut applies.
std::string CleanNumberText(std::string_view text);

// "n/d" or "w n/d" as a number; 0 for anything else.
double ParseRationalText(std::string_view text);

// Rounds to the nearest whole number, halves to the even neighbour; clamped to 32 bits,
// NaN gives 0.
int32_t RoundHalfEven(double value);

// "%W.Pf" of a number: at least W characters, P decimals, '.' as decimal separator.
std::string FormatFixed(double value, int width, int decimals);

// A printf-like print format of the tag tables: "%s" takes text, "%W.Pf" (left-aligned with
// "%-W.Pf") takes number, "%%" is a percent sign, everything else is copied as it stands.
std::string ApplyPrintFormat(std::string_view format, std::string_view text, double number);
void AppendPrintFormat(std::string& out, std::string_view format, std::string_view text,
                       double number);

// Decoders of the tag dictionary.
std::string DecodeComponents(std::string_view valueText, DecodeContext& context);
std::string DecodeShutterSpeed(std::string_view valueText, DecodeContext& context);
std::string DecodeFlash(std::string_view valueText, DecodeContext& context);
std::string DecodeUserComment(std::string_view valueText, DecodeContext& context);
std::string DecodeXpText(std::string_view valueText, DecodeContext& context);
std::string DecodeGpsCoordinate(std::string_view valueText, DecodeContext& context);
std::string DecodeGpsTime(std::string_view valueText, DecodeContext& context);

// How GPS coordinates are shown: 0 decimal degrees "59.329167" (the program's setting),
// 1 "59.3292 Decimal Degrees", 2 degrees and decimal minutes, 3 degrees, minutes, seconds.
void SetGpsCoordinateStyle(int style);
int GpsCoordinateStyle();

// "yyyy:mm:dd hh:nn:ss" as a day count; 0 when the text is not a valid date-time.
double ParseExifDate(std::string_view text);
// The same, telling a text that is not a date from 1899:12:30 00:00:00 (day count 0).
std::optional<double> TryParseExifDate(std::string_view text);
// A day count as "yyyy:mm:dd hh:nn:ss", to the nearest second; empty outside the years 1
// to 9999.
std::string ExifDateText(double days);

}  // namespace pixmeta
