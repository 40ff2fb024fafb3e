#include "util/path_parts.h"

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

}  // namespace pixmeta
