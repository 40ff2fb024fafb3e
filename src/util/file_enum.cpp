#include "util/file_enum.h"

#include <optional>

#include "platform/clock.h"
#include "platform/dir_search.h"
#include "platform/file_system.h"

namespace pixmeta {
using platform::kSeparator;

std::string_view FolderPart(std::string_view path) {
  const size_t slash = path.rfind(kSeparator);
  return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
}

std::string_view FileNamePart(std::string_view path) {
  return path.substr(FolderPart(path).size());
}

std::string_view ExtensionPart(std::string_view path) {
  const std::string_view name = FileNamePart(path);
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

bool FindFiles83(std::string_view longPattern, std::string_view shortPattern,
                 StringList& longList, bool recurse, StringList& shortList) {
  if (shortPattern.empty()) shortPattern = longPattern;
  const std::string folder(FolderPart(longPattern));
  const std::string_view mask = FileNamePart(longPattern);
  const std::string longPrefix = recurse ? folder : std::string();
  const std::string shortPrefix = recurse ? std::string(FolderPart(shortPattern)) : std::string();

  const std::optional<platform::FolderListing> listing =
      platform::ListFolder(folder, mask, recurse);
  if (!listing) {
    longList.Add(std::string(kFindFilesMarker));
    shortList.Add(std::string(kFindFilesMarker));
    return true;
  }
  for (const std::string& name : listing->files) {
    longList.Add(longPrefix + name);
    shortList.Add(shortPrefix + name);
  }
  for (const std::string& sub : listing->folders) {
    const std::string longSub = longPrefix + sub + kSeparator + std::string(mask);
    const std::string shortSub = shortPrefix + sub + kSeparator + std::string(mask);
    FindFiles83(longSub, shortSub, longList, true, shortList);
  }
  return !longList.Empty();
}

std::string NormalizeSlashes(std::string_view path) {
  std::string out;
  out.reserve(path.size());
  for (size_t i = 0; i < path.size(); ++i) {
    if (i > 0 && path[i] == kSeparator && i + 1 < path.size() && path[i + 1] == kSeparator) {
      continue;
    }
    out += path[i];
  }
  return out;
}

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

std::string ProgramBaseName(std::string_view fileName) {
  std::string name(fileName);
  if (const size_t dot = name.find('.'); dot != std::string::npos) name.erase(dot, 12);
  return name;
}

ProgramLocation FindProgramLocation() {
  const platform::ExecutablePath exe = platform::RunningExecutable();
  return {exe.folder, ProgramBaseName(exe.fileName)};
}

}  // namespace pixmeta
