// Expanding one file pattern into the files it names, one at a time.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pixmeta {

inline constexpr std::string_view kFindFilesMarker = "EXCEPTION - ERROR - FindFiles83";

// The plain files a pattern names, in the order of a depth-first search: a folder's own
// files (sorted as the directory search sorts them), then those of each of its subfolders.
// Entries carry the pattern's folder. Only a pattern with a wildcard can recurse; a name
// without one is looked up once. A folder that cannot be read yields the marker entry in
// place of its files. Only one folder's listing is held at a time, so a search over a tree
// of any size keeps its memory small.
class PatternSearch {
 public:
  PatternSearch(std::string_view pattern, bool recurse);

  // The next path; false when the search is done.
  bool Next(std::string& path);

 private:
  std::string mask_;
  bool recurse_;
  std::vector<std::string> pendingFolders_;  // a stack: the next folder to list is last
  std::string folder_;                       // the folder being listed
  std::vector<std::string> files_;           // its matching files
  size_t nextFile_ = 0;
};

// Whether a file argument names a pattern to search below its folder: it has a folder and
// a wildcard. A name without wildcards names one file, even with a folder.
bool SearchesSubfolders(std::string_view pattern);

}  // namespace pixmeta
