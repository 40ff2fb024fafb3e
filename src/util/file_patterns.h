// Expanding file patterns into file names.
#pragma once

#include <string_view>

#include "util/string_list.h"

namespace pixmeta {

inline constexpr std::string_view kFindFilesMarker = "EXCEPTION - ERROR - FindFiles83";

// Appends the plain files that match the pattern to longList (and the same names to
// shortList: there are no separate short names here). With recurse the entries carry the
// pattern's folder and every subfolder is searched after the folder's own files, depth
// first; without it they are bare names. A folder that cannot be read adds the marker
// entry instead. True when longList holds any entry after the call.
bool FindFiles83(std::string_view longPattern, std::string_view shortPattern,
                 StringList& longList, bool recurse, StringList& shortList);

}  // namespace pixmeta
