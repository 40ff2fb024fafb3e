#include "platform/registry.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "platform/file_manager_menus.h"
#include "platform/file_system.h"

namespace pixmeta::platform {
namespace {

// A value file is "@" + its encoded name; key names are encoded so that they never begin
// with "@" or ".", so values, keys and the hidden temporary files of a write never meet.
constexpr char kValueMark = '@';
constexpr std::string_view kShellKey[] = {"Directory", "shell"};

bool KeptAsItIs(unsigned char c, size_t position) {
  if (c >= 'A' && c <= 'Z') return true;
  if (c >= 'a' && c <= 'z') return true;
  if (c >= '0' && c <= '9') return true;
  return c == '-' || c == '_' || c == ' ' || c == ',' || c == '+' || (c == '.' && position > 0);
}

// Every byte that a file name could not hold, or that could make it special, as %XX.
std::string EncodeName(std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(name.size());
  for (size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (KeptAsItIs(c, i)) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The name an encoded file name stands for; none for a name that no key could have.
std::optional<std::string> DecodeName(std::string_view encoded) {
  std::string out;
  for (size_t i = 0; i < encoded.size(); ++i) {
    if (encoded[i] != '%') {
      out += encoded[i];
      continue;
    }
    if (i + 2 >= encoded.size()) return std::nullopt;
    const int high = HexDigit(encoded[i + 1]);
    const int low = HexDigit(encoded[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  if (EncodeName(out) != encoded) return std::nullopt;
  return out;
}

std::vector<std::string> KeyNames(std::string_view path) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) names.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

bool IsFolder(const std::string& path) {
  struct stat st{};
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The bytes of a value file; none when there is no such file, and RegistryError when it
// is there but cannot be read.
std::optional<std::string> ReadValueFile(const std::string& path, std::string_view name) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    if (errno == ENOENT) return std::nullopt;
    throw RegistryError("cannot read the value \"" + std::string(name) + "\": " +
                        std::strerror(errno));
  }
  std::string bytes;
  char buffer[4096];
  int error = 0;
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) error = errno;
    if (n <= 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  if (error != 0) {
    throw RegistryError("cannot read the value \"" + std::string(name) + "\": " +
                        std::strerror(error));
  }
  return bytes;
}

class FolderRegistry final : public Registry {
 public:
  explicit FolderRegistry(std::string dataHome) : dataHome_(std::move(dataHome)) {
    SetRootKey(RegistryRoot::ClassesRoot);
  }

  void SetRootKey(RegistryRoot root) override {
    CloseKey();
    rootFolder_.clear();
    if (dataHome_.empty()) return;
    switch (root) {
      case RegistryRoot::ClassesRoot:
        rootFolder_ = dataHome_ + "pixmeta/registry/HKEY_CLASSES_ROOT";
        break;
    }
  }

  bool OpenKey(std::string_view path, bool canCreate) override {
    CloseKey();
    if (rootFolder_.empty()) return false;
    std::vector<std::string> names = KeyNames(path);
    const std::string folder = KeyFolder(names);
    if (canCreate) {
      if (!MakeFolders(folder) || ::access(folder.c_str(), W_OK | X_OK) != 0) return false;
    } else if (!IsFolder(folder) || ::access(folder.c_str(), R_OK | X_OK) != 0) {
      return false;
    }
    current_ = folder;
    currentNames_ = std::move(names);
    return true;
  }

  void WriteString(std::string_view name, std::string_view value) override {
    const std::string target = ValuePath(name);
    std::string error;
    std::optional<ReplacingFile> file = ReplacingFile::Create(target, error);
    bool stored = false;
    if (file) {
      file->Write(value);  // a failed write shows at Commit, which then keeps the old value
      stored = file->Commit(error);
    }
    if (!stored) {
      throw RegistryError("cannot write the value \"" + std::string(name) + "\": " + error);
    }
    if (ReachesShellVerbs(currentNames_)) Publish();
  }

  std::string ReadString(std::string_view name) override {
    return ReadValueFile(ValuePath(name), name).value_or("");
  }

  void CloseKey() override {
    current_.clear();
    currentNames_.clear();
  }

  bool DeleteKey(std::string_view path) override {
    const std::vector<std::string> names = KeyNames(path);
    if (rootFolder_.empty() || names.empty()) return false;
    const std::string folder = KeyFolder(names);
    if (!IsFolder(folder)) return false;
    if (current_.starts_with(folder + kSeparator) || current_ == folder) CloseKey();
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    if (error) return false;
    if (ReachesShellVerbs(names)) Publish();
    return true;
  }

 private:
  std::string KeyFolder(const std::vector<std::string>& names) const {
    std::string folder = rootFolder_;
    for (const std::string& name : names) {
      folder += kSeparator;
      folder += EncodeName(name);
    }
    return folder;
  }

  std::string ValuePath(std::string_view name) const {
    if (current_.empty()) throw RegistryError("no registry key is open");
    return current_ + kSeparator + kValueMark + EncodeName(name);
  }

  // Whether a change at the key of these names can change a verb of "Directory\shell": it
  // lies below one, or above them all ("Directory" deleted takes them along).
  static bool ReachesShellVerbs(const std::vector<std::string>& names) {
    const size_t common = std::min(names.size(), std::size(kShellKey));
    for (size_t i = 0; i < common; ++i) {
      if (names[i] != kShellKey[i]) return false;
    }
    return true;
  }

  // Hands every verb of "Directory\shell" that has a command to the file managers.
  void Publish() const {
    const std::string shellFolder = rootFolder_ + "/Directory/shell";
    std::vector<FolderMenuEntry> entries;
    if (DIR* dir = ::opendir(shellFolder.c_str())) {
      while (const dirent* entry = ::readdir(dir)) {
        const std::optional<std::string> verb = DecodeName(entry->d_name);
        const std::string verbFolder = shellFolder + kSeparator + entry->d_name;
        if (!verb || verb->empty() || !IsFolder(verbFolder)) continue;
        const std::string valueAt = verbFolder + kSeparator + kValueMark;
        FolderMenuEntry menu{*verb, "", ""};
        menu.command = ReadValueFile(verbFolder + "/command/@", "").value_or("");
        if (menu.command.empty()) continue;
        menu.label = ReadValueFile(valueAt + std::string("MUIVerb"), "MUIVerb").value_or("");
        if (menu.label.empty()) menu.label = ReadValueFile(valueAt, "").value_or("");
        if (menu.label.empty()) menu.label = *verb;
        entries.push_back(std::move(menu));
      }
      ::closedir(dir);
    }
    std::string error;
    if (!PublishFolderMenus(dataHome_, entries, error)) {
      throw RegistryError("cannot update the file managers' menus: " + error);
    }
  }

  std::string dataHome_;
  std::string rootFolder_;                // empty when there is no data folder
  std::string current_;                   // the current key's folder, empty when none
  std::vector<std::string> currentNames_;  // and its path
};

}  // namespace

std::unique_ptr<Registry> OpenFolderRegistry(std::string dataHome) {
  return std::make_unique<FolderRegistry>(std::move(dataHome));
}

std::unique_ptr<Registry> OpenUserRegistry() {
  return OpenFolderRegistry(UserDataHome().value_or(""));
}

}  // namespace pixmeta::platform
