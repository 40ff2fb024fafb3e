// Directory search. Wildcards '*' and '?' match without regard to letter case; a mask
// without wildcards names one file exactly. Names that begin with '.' are hidden: such
// files are not listed and such folders are not returned. Links to folders are not
// followed. Entries come sorted by name without regard to letter case.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace pixmeta::platform {

struct FolderListing {
  std::vector<std::string> files;    // plain files whose names match the mask
  std::vector<std::string> folders;  // with withFolders: every subfolder, whatever the mask
};

// Lists a folder: "" is the current folder, any other folder ends in a separator. None when
// the folder cannot be read; a folder that does not exist lists nothing.
std::optional<FolderListing> ListFolder(const std::string& folder, std::string_view mask,
                                        bool withFolders);

bool WildcardMatch(std::string_view mask, std::string_view name);

// The plain file that a path without wildcards names, looked up by opening it, so that
// the file is then read without a second lookup: none when there is no regular file under
// the path or its name is hidden. One that cannot be opened comes back unopened, with the
// reason.
std::optional<OpenedFile> OpenNamedFile(const std::string& path);

}  // namespace pixmeta::platform
