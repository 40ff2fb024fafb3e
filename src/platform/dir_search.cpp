#include "platform/dir_search.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "platform/code_page.h"

namespace pixmeta::platform {
namespace {

bool HasWildcard(std::string_view mask) { return mask.find_first_of("*?") != std::string_view::npos; }

bool IsHidden(std::string_view name) { return !name.empty() && name.front() == '.'; }

// Order of NTFS listings: by upper-cased name; names equal but for case in byte order.
bool NameLess(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const auto ua = static_cast<unsigned char>(UpperByte(a[i]));
    const auto ub = static_cast<unsigned char>(UpperByte(b[i]));
    if (ua != ub) return ua < ub;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

enum class Kind { File, Folder, Other };

Kind KindOf(const std::string& folder, const dirent& entry) {
  switch (entry.d_type) {
    case DT_REG:
      return Kind::File;
    case DT_DIR:
      return Kind::Folder;
    case DT_LNK:
    case DT_UNKNOWN:
      break;
    default:
      return Kind::Other;
  }
  const std::string path = folder + entry.d_name;
  struct stat st{};
  if (::lstat(path.c_str(), &st) != 0) return Kind::Other;
  if (S_ISDIR(st.st_mode)) return Kind::Folder;
  if (S_ISREG(st.st_mode)) return Kind::File;
  // A link counts as a file when it leads to one; links to folders are not entered.
  if (S_ISLNK(st.st_mode) && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    return Kind::File;
  }
  return Kind::Other;
}

}  // namespace

bool WildcardMatch(std::string_view mask, std::string_view name) {
  // Greedy match with one backtrack point for the last '*' seen.
  size_t m = 0;
  size_t n = 0;
  size_t starMask = std::string_view::npos;
  size_t starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && mask[m] == '*') {
      starMask = m++;
      starName = n;
    } else if (m < mask.size() && (mask[m] == '?' || UpperByte(mask[m]) == UpperByte(name[n]))) {
      ++m;
      ++n;
    } else if (starMask != std::string_view::npos) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  // "*.*" matches names without a point too, as it always has on Windows.
  if (m + 2 == mask.size() && mask[m] == '.' && mask[m + 1] == '*') return true;
  return m == mask.size();
}

std::optional<FolderListing> ListFolder(const std::string& folder, std::string_view mask,
                                        bool withFolders) {
  FolderListing listing;
  const bool exact = !HasWildcard(mask);
  if (exact && !withFolders) {
    // One named file: no need to read the whole folder.
    struct stat st{};
    const std::string path = folder + std::string(mask);
    if (!IsHidden(mask) && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      listing.files.emplace_back(mask);
    }
    return listing;
  }
  const std::string open = folder.empty() ? std::string(".") : folder;
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(open.c_str()), ::closedir);
  if (!dir) {
    if (errno == ENOENT || errno == ENOTDIR) return listing;
    return std::nullopt;
  }
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string_view name = entry->d_name;
    if (IsHidden(name)) continue;
    const bool matches = exact ? name == mask : WildcardMatch(mask, name);
    if (!matches && !withFolders) continue;
    const Kind kind = KindOf(folder, *entry);
    if (kind == Kind::File && matches) listing.files.emplace_back(name);
    if (kind == Kind::Folder && withFolders) listing.folders.emplace_back(name);
  }
  std::sort(listing.files.begin(), listing.files.end(), NameLess);
  std::sort(listing.folders.begin(), listing.folders.end(), NameLess);
  return listing;
}

std::optional<OpenedFile> OpenNamedFile(const std::string& path) {
  const size_t slash = path.rfind(kSeparator);
  if (IsHidden(slash == std::string::npos ? path : std::string_view(path).substr(slash + 1))) {
    return std::nullopt;
  }
  OpenedFile opened = OpenForReading(path);
  if (opened.file) return opened;
  if (opened.failure == InputFile::Failure::Missing) return std::nullopt;
  struct stat st{};
  if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return opened;
  return std::nullopt;
}

}  // namespace pixmeta::platform
