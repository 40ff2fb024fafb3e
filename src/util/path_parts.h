// The parts of a path: folder, file name, extension; and separator runs collapsed.
#pragma once

#include <string>
#include <string_view>

namespace pixmeta {

// The folder with its trailing separator (empty for a bare name), the file name, and the
// file name's extension from its last point (empty when it has none).
std::string_view FolderPart(std::string_view path);
std::string_view FileNamePart(std::string_view path);
std::string_view ExtensionPart(std::string_view path);

// Collapses runs of separators; the first character is kept as it is.
std::string NormalizeSlashes(std::string_view path);

}  // namespace pixmeta
