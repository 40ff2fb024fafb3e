#include "actions/file_dates.h"

#include <cmath>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "util/date_format.h"
#include "util/date_valid.h"
#include "util/file_times.h"
#include "util/path_parts.h"
#include "util/pixmeta_lib.h"

namespace pixmeta {
namespace {

// Dates closer than this count as equal: file systems keep times more coarsely than EXIF.
constexpr double kSameTime = 3.0 / 86400.0;

struct ResolvedDate {
  std::string text;  // as the file holds it, or yyyy-mm-dd hh:nn:ss
  bool fromPhoto = false;  // from the EXIF dates or the file name, not the file's own time
};

// The file's last-write time in local time, as the camera's dates are; 0 without a file.
double FileAgeLocal(const std::string& path) {
  const auto info = platform::StatFile(NormalizeSlashes(path));
  return info ? platform::UnixToLocalDays(info->modifiedUnix) : 0.0;
}

// The day count of a date text that IsValidDateText accepts.
std::optional<double> DateDays(std::string text) {
  if (!IsValidDateText(text)) return std::nullopt;
  return CanonicalDateDays(text);
}

ResolvedDate ResolveDate(const RunSettings& s, const FileState& file) {
  if (!file.captureDate.empty()) return {file.captureDate, true};
  const double own = FileAgeLocal(file.path);
  if (s.fileDateFromName) {
    // Only yymmdd, yyyymm and yyyymmdd runs can pass, and none of them has a time of day.
    if (auto days = DateDays(DigitGroupAt(FileNameWithoutExt(file.path), 1))) {
      if (s.fileTimeFromFile) *days += own - std::floor(own);
      return {platform::DateTimeText(*days), true};
    }
  }
  return {platform::DateTimeText(own), false};
}

void SetFileDate(RunContext& run, const FileState& file, const std::string& value) {
  const RunSettings& s = run.settings;
  const std::string_view name = FileNamePart(file.path);
  std::string target = file.path;
  if (!s.fileDateDir.empty()) {
    target = platform::AbsolutePath(s.fileDateDir);
    if (!target.ends_with(platform::kSeparator)) target += platform::kSeparator;
    target += name;
  }
  const auto info = platform::StatFile(NormalizeSlashes(target));
  if (!info) {
    run.console.WriteLine("File not found: " + target);
    return;
  }
  const std::optional<double> days = DateDays(value);
  if (!days) {
    run.console.WriteLine(std::string(name) + " no valid date: \"" + value + "\"");
    return;
  }
  const double fileTime = platform::UnixToLocalDays(info->modifiedUnix);
  const std::string dateText = platform::DateTimeText(*days);
  const std::string fileTimeText = platform::DateTimeText(fileTime);
  if (s.logLevel > 5) {
    run.console.WriteLine(file.path + " = " + dateText);
    run.console.WriteLine(target + " = " + fileTimeText);
  }
  const std::string targetName(FileNamePart(target));
  if (std::fabs(*days - fileTime) < kSameTime) {
    run.console.WriteLine(targetName + " " + fileTimeText + " == " + dateText);
    return;
  }
  std::string error;
  if (!SetFileDates(target, *days, 0, *days, error)) {
    run.errorLog.Add("#ERROR " + target + ": " + error);
    return;
  }
  run.console.WriteLine(targetName + " " + fileTimeText + " -> " + dateText);
}

void WriteDateLine(RunContext& run, const FileState& file, const ResolvedDate& date) {
  std::string line(FileNamePart(file.path));
  line += '\t';
  const std::optional<double> days =
      date.fromPhoto ? DateDays(date.text) : std::optional<double>();
  if (days) {
    line += FormatDayCount(*days, run.settings.dateFormat);
  } else {
    line += FormatDayCount(FileAgeLocal(file.path), run.settings.dateFormat);
    line += "\t*";
  }
  run.console.WriteLine(line);
}

}  // namespace

void RunDateSteps(RunContext& run, const FileState& file) {
  const RunSettings& s = run.settings;
  if (!s.dateList && !s.setFileDate) return;
  const ResolvedDate date = ResolveDate(s, file);
  if (s.setFileDate) SetFileDate(run, file, date.text);
  if (s.dateList) WriteDateLine(run, file, date);
}

}  // namespace pixmeta
