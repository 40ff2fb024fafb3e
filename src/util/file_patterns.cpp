#include "util/file_patterns.h"

#include <optional>

#include "platform/dir_search.h"
#include "platform/file_system.h"
#include "util/path_parts.h"

namespace pixmeta {

PatternSearch::PatternSearch(std::string_view pattern, bool recurse)
    : mask_(FileNamePart(pattern)), recurse_(recurse) {
  pendingFolders_.emplace_back(FolderPart(pattern));
}

bool PatternSearch::Next(std::string& path) {
  for (;;) {
    if (nextFile_ < files_.size()) {
      path.assign(folder_);
      path += files_[nextFile_++];
      return true;
    }
    if (pendingFolders_.empty()) return false;
    folder_ = std::move(pendingFolders_.back());
    pendingFolders_.pop_back();
    files_.clear();
    nextFile_ = 0;
    std::optional<platform::FolderListing> listing =
        platform::ListFolder(folder_, mask_, recurse_);
    if (!listing) {
      path.assign(kFindFilesMarker);
      return true;
    }
    files_ = std::move(listing->files);
    // Pushed last to first, so the first subfolder is listed next.
    for (auto sub = listing->folders.rbegin(); sub != listing->folders.rend(); ++sub) {
      pendingFolders_.push_back(folder_ + *sub + platform::kSeparator);
    }
  }
}

bool SearchesSubfolders(std::string_view pattern) {
  return pattern.find(platform::kSeparator) != std::string_view::npos &&
         pattern.find_first_of("*?") != std::string_view::npos;
}

}  // namespace pixmeta
