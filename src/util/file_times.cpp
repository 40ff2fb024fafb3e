#include "util/file_times.h"

#include <optional>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "util/path_parts.h"

namespace pixmeta {

double FileModifiedUtc(const std::string& path) {
  const auto info = platform::StatFile(NormalizeSlashes(path));
  return info ? platform::UnixToUtcDays(info->modifiedUnix) : 0.0;
}

bool SetFileDates(const std::string& path, double /*created*/, double accessed,
                  double modified, std::string& errorText) {
  std::optional<double> accessedUnix;
  std::optional<double> modifiedUnix;
  if (accessed != 0) {
    accessedUnix = platform::LocalDaysToUnix(accessed);
    if (!accessedUnix) {
      errorText = "invalid access date";
      return false;
    }
  }
  if (modified != 0) {
    modifiedUnix = platform::LocalDaysToUnix(modified);
    if (!modifiedUnix) {
      errorText = "invalid modification date";
      return false;
    }
  }
  return platform::SetFileTimes(NormalizeSlashes(path), accessedUnix, modifiedUnix, errorText);
}

}  // namespace pixmeta
