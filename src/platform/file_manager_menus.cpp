#include "platform/file_manager_menus.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <set>
#include <string_view>

#include "platform/file_system.h"

namespace pixmeta::platform {
namespace {

// Every file written here carries this line near its top; only such files are ever
// replaced or removed.
constexpr std::string_view kMarker = "# pixmeta folder menu: ";
constexpr std::string_view kFolderToken = "%1";

// The folders the four file managers read their menu entries from, below the data folder.
constexpr std::string_view kNautilusFolder = "nautilus/scripts";
constexpr std::string_view kNemoFolder = "nemo/actions";
constexpr std::string_view kDolphinFolder = "kio/servicemenus";  // KDE Frameworks 5.85 on, and 6
constexpr std::string_view kCajaFolder = "file-manager/actions";

// The command's words as a Windows program receives them.
std::vector<std::string> CommandWords(std::string_view command) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  bool quoted = false;
  for (const char c : command) {
    if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if (!quoted && (c == ' ' || c == '\t')) {
      if (inWord) words.push_back(std::move(word));
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(std::move(word));
  return words;
}

std::string SingleQuoted(std::string_view text) {
  std::string out = "'";
  for (const char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  out += '\'';
  return out;
}

// The command as one POSIX shell line in which "$1" is the folder: every piece of a word
// is quoted, so nothing in it (a '*' included) is expanded by the shell.
std::string ShellLine(std::string_view command) {
  std::string line;
  for (const std::string& word : CommandWords(command)) {
    if (!line.empty()) line += ' ';
    if (word.empty()) {
      line += "''";
      continue;
    }
    std::string_view rest = word;
    for (;;) {
      const size_t token = rest.find(kFolderToken);
      const std::string_view piece = rest.substr(0, token);
      if (!piece.empty()) line += SingleQuoted(piece);
      if (token == std::string_view::npos) break;
      line += "\"$1\"";
      rest.remove_prefix(token + kFolderToken.size());
    }
  }
  return line;
}

// A value as a key file (and a desktop entry) stores it.
std::string KeyFileValue(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == ' ' && i == 0) {
      out += "\\s";
    } else {
      out += c;
    }
  }
  return out;
}

// Text in which the file manager expands %-codes: a percent sign stands for itself.
std::string PercentsDoubled(std::string_view text) {
  std::string out;
  for (const char c : text) {
    out += c;
    if (c == '%') out += '%';
  }
  return out;
}

// One argument of a desktop entry's Exec line: quoted where it holds a reserved character,
// with the four characters that stay special inside the quotes escaped.
std::string DesktopExecArgument(std::string_view arg) {
  constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
  std::string out;
  if (!arg.empty() && arg.find_first_of(kReserved) == std::string_view::npos) {
    out = arg;
  } else {
    out = "\"";
    for (const char c : arg) {
      if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
      out += c;
    }
    out += '"';
  }
  return PercentsDoubled(out);
}

// The label as a file name: no separators, no control characters, not hidden.
std::string ScriptName(std::string_view label, std::string_view fallback) {
  std::string name;
  for (const char c : label) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == kSeparator) {
      name += '-';
    } else if (byte < 0x20 || byte == 0x7F) {
      name += ' ';
    } else {
      name += c;
    }
  }
  while (!name.empty() && name[0] == '.') name.erase(0, 1);
  return name.empty() ? std::string(fallback) : name;
}

// The verb as a part of a file name; different verbs give different parts.
std::string VerbSlug(std::string_view verb) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string slug;
  for (const char c : verb) {
    const auto byte = static_cast<unsigned char>(c);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-') {
      slug += c;
    } else {
      slug += '_';
      slug += kHex[byte >> 4];
      slug += kHex[byte & 15];
    }
  }
  return slug;
}

std::string NautilusScript(const FolderMenuEntry& entry, std::string_view slug) {
  std::string text = "#!/bin/sh\n";
  text += kMarker;
  text += slug;
  text +=
      "\n# Runs for each folder selected in Nautilus, which passes them as arguments.\n"
      "run() {\n  ";
  text += ShellLine(entry.command);
  text +=
      "\n}\n"
      "for folder in \"$@\"; do\n"
      "  if [ -d \"$folder\" ]; then run \"$folder\"; fi\n"
      "done\n";
  return text;
}

// "sh -c LINE sh", to which the file manager adds the folder as one more argument.
std::string ShellCommandPrefix(const FolderMenuEntry& entry) {
  return "sh -c " + SingleQuoted(ShellLine(entry.command)) + " sh";
}

std::string NemoAction(const FolderMenuEntry& entry, std::string_view slug) {
  const std::string label = KeyFileValue(PercentsDoubled(entry.label));
  std::string text(kMarker);
  text += slug;
  text += "\n[Nemo Action]\nName=" + label + "\nComment=" + label;
  text += "\nExec=" + KeyFileValue(PercentsDoubled(ShellCommandPrefix(entry))) + " %F";
  text += "\nSelection=s\nExtensions=dir;\n";
  return text;
}

std::string DolphinServiceMenu(const FolderMenuEntry& entry, std::string_view slug) {
  const std::string label = KeyFileValue(entry.label);
  std::string exec;
  for (const std::string& arg : {std::string("sh"), std::string("-c"), ShellLine(entry.command),
                                 std::string("sh")}) {
    exec += DesktopExecArgument(arg) + ' ';
  }
  std::string text(kMarker);
  text += slug;
  text += "\n[Desktop Entry]\nType=Service\nName=" + label +
          "\nMimeType=inode/directory;\nActions=run;\nX-KDE-Priority=TopLevel\n"
          "\n[Desktop Action run]\nName=" + label + "\nExec=" + KeyFileValue(exec) + "%f\n";
  return text;
}

std::string CajaAction(const FolderMenuEntry& entry, std::string_view slug) {
  const std::string label = KeyFileValue(PercentsDoubled(entry.label));
  std::string text(kMarker);
  text += slug;
  text += "\n[Desktop Entry]\nType=Action\nName=" + label + "\nTooltip=" + label +
          "\nProfiles=main;\n\n[X-Action-Profile main]\nName=" + label + "\nExec=" +
          KeyFileValue(PercentsDoubled(ShellCommandPrefix(entry))) +
          " %f\nMimeTypes=inode/directory;\n";
  return text;
}

struct MenuFile {
  std::string path;
  std::string text;
  bool executable = false;
};

// The first bytes of a regular file; none when it is no such file or cannot be read.
std::optional<std::string> FileHead(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  struct stat st{};
  std::optional<std::string> head;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    char buffer[512];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n >= 0) head = std::string(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return head;
}

// Whether the file was written here: the marker begins its first or second line.
bool WrittenHere(const std::string& path) {
  const std::optional<std::string> head = FileHead(path);
  if (!head) return false;
  if (head->starts_with(kMarker)) return true;
  const size_t lineEnd = head->find('\n');
  return lineEnd != std::string::npos &&
         std::string_view(*head).substr(lineEnd + 1).starts_with(kMarker);
}

bool Exists(const std::string& path) {
  struct stat st{};
  return ::lstat(path.c_str(), &st) == 0;
}

void NoteFailure(std::string& errorText, const std::string& path, const std::string& why) {
  if (errorText.empty()) errorText = path + ": " + why;
}

}  // namespace

bool PublishFolderMenus(const std::string& dataHome, const std::vector<FolderMenuEntry>& entries,
                        std::string& errorText) {
  errorText.clear();
  std::vector<MenuFile> files;
  std::set<std::string> wanted;
  for (const FolderMenuEntry& entry : entries) {
    const std::string slug = VerbSlug(entry.verb);
    const std::string stem = "/pixmeta-" + slug;
    files.push_back({dataHome + std::string(kNautilusFolder) + kSeparator +
                         ScriptName(entry.label, "pixmeta-" + slug),
                     NautilusScript(entry, slug), true});
    files.push_back({dataHome + std::string(kNemoFolder) + stem + ".nemo_action",
                     NemoAction(entry, slug), false});
    files.push_back({dataHome + std::string(kDolphinFolder) + stem + ".desktop",
                     DolphinServiceMenu(entry, slug), true});
    files.push_back(
        {dataHome + std::string(kCajaFolder) + stem + ".desktop", CajaAction(entry, slug), false});
  }
  for (const MenuFile& file : files) wanted.insert(file.path);

  // Files of entries that are gone, or that a new label renamed.
  for (const std::string_view folder : {kNautilusFolder, kNemoFolder, kDolphinFolder, kCajaFolder}) {
    const std::string path = dataHome + std::string(folder);
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr) continue;
    std::vector<std::string> stale;
    while (const dirent* item = ::readdir(dir)) {
      if (item->d_name[0] == '.') continue;
      const std::string file = path + kSeparator + item->d_name;
      if (!wanted.contains(file) && WrittenHere(file)) stale.push_back(file);
    }
    ::closedir(dir);
    for (const std::string& file : stale) {
      if (::unlink(file.c_str()) != 0 && errno != ENOENT) {
        NoteFailure(errorText, file, std::strerror(errno));
      }
    }
  }

  for (const MenuFile& file : files) {
    const std::string folder = file.path.substr(0, file.path.rfind(kSeparator));
    if (!MakeFolders(folder)) {
      NoteFailure(errorText, folder, "cannot create the folder");
      continue;
    }
    if (Exists(file.path) && !WrittenHere(file.path)) {
      NoteFailure(errorText, file.path, "another file of that name is in the way");
      continue;
    }
    std::string why;
    std::optional<ReplacingFile> out = ReplacingFile::Create(file.path, why);
    if (!out) {
      NoteFailure(errorText, file.path, why);
      continue;
    }
    out->Write(file.text);  // a failed write shows at Commit
    if (!out->Commit(why)) {
      NoteFailure(errorText, file.path, why);
    } else if (file.executable && ::chmod(file.path.c_str(), 0755) != 0) {
      NoteFailure(errorText, file.path, std::strerror(errno));
    }
  }
  return errorText.empty();
}

}  // namespace pixmeta::platform
