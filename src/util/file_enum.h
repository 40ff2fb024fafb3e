// Expanding file patterns into file names, file times, and where the program lives.
#pragma once

#include <string>
#include <string_view>

#include "util/string_list.h"

namespace pixmeta {

inline constexpr std::string_view kFindFilesMarker = "EXCEPTION - ERROR - FindFiles83";

// Parts of a path: the folder with its trailing separator (empty for a bare name), the
// file name, and the file name's extension from its last point (empty when it has none).
std::string_view FolderPart(std::string_view path);
std::string_view FileNamePart(std::string_view path);
std::string_view ExtensionPart(std::string_view path);

// Appends the plain files that match the pattern to longList (and the same names to
// shortList: there are no separate short names here). With recurse the entries carry the
// pattern's folder and every subfolder is searched after the folder's own files, depth
// first; without it they are bare names. A folder that cannot be read adds the marker
// entry instead. True when longList holds any entry after the call.
bool FindFiles83(std::string_view longPattern, std::string_view shortPattern,
                 StringList& longList, bool recurse, StringList& shortList);

// Collapses runs of separators; the first character is kept as it is.
std::string NormalizeSlashes(std::string_view path);

// Last-write time as a day count in UTC; 0 when the file cannot be found.
double FileModifiedUtc(const std::string& path);

// Sets the file's times from local day counts; a day count of 0 leaves that time as it is.
// The creation time cannot be set on this platform. False with errorText on failure.
bool SetFileDates(const std::string& path, double created, double accessed, double modified,
                  std::string& errorText);

struct ProgramLocation {
  std::string programDir;       // ends in a separator
  std::string programBaseName;  // the file name without its extension
};
ProgramLocation FindProgramLocation();
// The base-name rule: 12 characters are removed from the first point on.
std::string ProgramBaseName(std::string_view fileName);

}  // namespace pixmeta
