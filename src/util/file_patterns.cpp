#include "util/file_patterns.h"

#include <optional>
#include <string>

#include "platform/dir_search.h"
#include "platform/file_system.h"
#include "util/path_parts.h"

namespace pixmeta {
using platform::kSeparator;

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

}  // namespace pixmeta
