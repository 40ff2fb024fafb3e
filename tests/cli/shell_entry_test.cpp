// End-to-end tests of -install-kml and -uninstall-kml: the messages and listing, and the
// menu files the file managers read, each run the way its file manager runs it.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

#include "fixtures/cli_runner.h"
#include "fixtures/sample_photos.h"

extern char** environ;

namespace pixmeta::test {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

constexpr const char* kRegistered =
    "Directory Shell Extension Registered.. (right click on directory in explorer)\n";

// A sandbox whose data folder lies inside it.
struct EntrySandbox {
  CliSandbox box;
  std::string data = box.dir().path() + "data/";
  CliResult Run(const std::string& option) const {
    return box.Run({option}, "", {"XDG_DATA_HOME=" + data});
  }
  std::string Listing() const {
    std::string program = "\"";
    program.append(box.binary()).append("\"");
    return "\n\rShell Context Menu Extension:\n\rMUIVerb=PixMeta KML\n\rIcon=" + program +
           "\n\rCommand=" + program + " -kml -o=\"%1/_pixmeta.kml\" \"%1/*.jpg\"\n\r\n";
  }
  std::string Nautilus() const { return data + "nautilus/scripts/PixMeta KML"; }
  std::string Nemo() const { return data + "nemo/actions/pixmeta-NorvalePixMeta.nemo_action"; }
  std::string Dolphin() const { return data + "kio/servicemenus/pixmeta-NorvalePixMeta.desktop"; }
  std::string Caja() const { return data + "file-manager/actions/pixmeta-NorvalePixMeta.desktop"; }
};

// How many files lie below the folder.
size_t FileCount(const std::string& folder) {
  size_t n = 0;
  if (!std::filesystem::exists(folder)) return 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    n += entry.is_regular_file() ? 1 : 0;
  }
  return n;
}

TEST(ShellEntry, InstallWritesTheEntryListsItAndDoesTheSameTheSecondTime) {
  EntrySandbox s;
  for (int round = 0; round < 2; ++round) {
    const CliResult r = s.Run("-install-kml");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, s.Listing() + kRegistered) << "round " << round;
    EXPECT_EQ(FileCount(s.data + "nautilus"), 1u);
    EXPECT_EQ(FileCount(s.data + "nemo"), 1u);
    EXPECT_EQ(FileCount(s.data + "kio"), 1u);
    EXPECT_EQ(FileCount(s.data + "file-manager"), 1u);
    EXPECT_EQ(FileCount(s.data + "pixmeta/registry"), 3u);
  }
  // No log is written by the context-menu options.
  EXPECT_FALSE(std::filesystem::exists(s.box.binDir() + "pixmeta-info.txt"));
}

TEST(ShellEntry, UninstallRemovesTheEntryAndTheMenusAndReportsWhenThereIsNone) {
  EntrySandbox s;
  CliResult r = s.Run("--uninstall-kml");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "ERROR: Missing registry rights\n");

  ASSERT_EQ(s.Run("/install-kml").exitCode, 0);
  ASSERT_TRUE(std::filesystem::exists(s.Nautilus()));
  r = s.Run("-uninstall-kml");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "Directory Shell Extension Deleted from registy\n");
  EXPECT_EQ(FileCount(s.data), 0u);

  r = s.Run("-uninstall-kml");
  EXPECT_EQ(r.out, "ERROR: Missing registry rights\n");
}

TEST(ShellEntry, ADataFolderThatCannotBeWrittenIsMissingRights) {
  EntrySandbox s;
  // A file where the data folder should be stops root as well as anyone else.
  s.box.dir().Write("data", "not a folder");
  const CliResult r = s.Run("-install-kml");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "ERROR: Missing registry rights\nERROR: Registry not found\n");
  EXPECT_EQ(s.Run("-uninstall-kml").out, "ERROR: Missing registry rights\n");
}

TEST(ShellEntry, AMenuFolderThatCannotBeWrittenIsReportedWithItsReason) {
  EntrySandbox s;
  s.box.dir().Write("data/nautilus", "not a folder");
  const CliResult r = s.Run("-install-kml");
  EXPECT_EQ(r.exitCode, 0);
  // The registry holds the entry; the message says what could not be written.
  EXPECT_THAT(r.out, StartsWith("ERROR: Missing registry rights?\n"));
  EXPECT_THAT(r.out, HasSubstr("data/nautilus/scripts: cannot create the folder\n"));
  EXPECT_THAT(r.out, HasSubstr(s.Listing() + kRegistered));
  EXPECT_TRUE(std::filesystem::exists(s.Nemo()));
}

TEST(ShellEntry, AValueThatCannotBeReadIsReportedInsteadOfEndingTheProgram) {
  EntrySandbox s;
  std::filesystem::create_directories(
      s.data + "pixmeta/registry/HKEY_CLASSES_ROOT/Directory/shell/NorvalePixMeta/@Icon/x");
  const CliResult r = s.Run("-install-kml");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out,
            "ERROR: Missing registry rights?\ncannot write the value \"Icon\": Is a directory\n"
            "ERROR: Missing registry rights?\ncannot read the value \"Icon\": Is a directory\n" +
                std::string(kRegistered));
}

// --- Running the menu files as their file managers do ---

// The value of a key in a group of a key file or desktop entry, as the file holds it.
std::optional<std::string> RawValue(const std::string& text, const std::string& group,
                                    const std::string& key) {
  bool inGroup = false;
  for (const std::string& line : SplitLines(text)) {
    if (line.starts_with('[')) {
      inGroup = line == "[" + group + "]";
    } else if (inGroup && line.starts_with(key + "=")) {
      return line.substr(key.size() + 1);
    }
  }
  return std::nullopt;
}

// A string value with its escapes (\s \n \t \r \\) undone.
std::string Unescaped(const std::string& raw) {
  std::string out;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '\\' || i + 1 == raw.size()) {
      out += raw[i];
      continue;
    }
    const char c = raw[++i];
    out += c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
  }
  return out;
}

std::string ShellQuoted(const std::string& text) {
  std::string out = "'";
  for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Words as a shell splits them, without expanding anything (as GLib's argument parser
// does for Nemo and Caja).
std::vector<std::string> ShellWords(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '\n') {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
      continue;
    }
    inWord = true;
    if (c == '\'') {
      const size_t end = line.find('\'', i + 1);
      if (end == std::string::npos) return {};
      word += line.substr(i + 1, end - i - 1);
      i = end;
    } else if (c == '"') {
      for (++i; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] == '\\' && i + 1 < line.size() &&
            std::string_view("$`\"\\\n").find(line[i + 1]) != std::string_view::npos) {
          ++i;
        }
        word += line[i];
      }
      if (i == line.size()) return {};
    } else if (c == '\\' && i + 1 < line.size()) {
      word += line[++i];
    } else {
      word += c;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

// Nemo and Caja: the folder goes in shell-quoted, "%%" is a percent sign, and the line
// is then split into words.
std::vector<std::string> ExpandedShellStyle(const std::string& exec, char code,
                                            const std::string& folder) {
  std::string line;
  for (size_t i = 0; i < exec.size(); ++i) {
    if (exec[i] == '%' && i + 1 < exec.size()) {
      const char next = exec[++i];
      line += next == code ? ShellQuoted(folder) : next == '%' ? "%" : "";
    } else {
      line += exec[i];
    }
  }
  return ShellWords(line);
}

// A desktop entry's Exec line: double quotes group (backslash escapes ", `, $ and \ in
// them), %% is a percent sign, a %f argument is the folder.
std::vector<std::string> ExpandedDesktopStyle(const std::string& exec, const std::string& folder) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  bool quoted = false;
  bool fieldCode = false;
  for (size_t i = 0; i < exec.size(); ++i) {
    const char c = exec[i];
    if (!quoted && c == ' ') {
      if (inWord) words.push_back(fieldCode && word == "%f" ? folder : word);
      word.clear();
      inWord = fieldCode = false;
    } else if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if (quoted && c == '\\' && i + 1 < exec.size()) {
      word += exec[++i];
    } else if (c == '%' && i + 1 < exec.size() && exec[i + 1] == '%') {
      word += '%';
      ++i;
      inWord = true;
    } else {
      if (c == '%' && !quoted) fieldCode = true;
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(fieldCode && word == "%f" ? folder : word);
  return words;
}

// Runs the words as a program in the folder; its exit code.
int Spawn(const std::vector<std::string>& words, const std::string& cwd,
          std::vector<std::string> env) {
  std::vector<std::string> args = words;
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  env.push_back("PATH=/usr/bin:/bin");
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int rc = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(ShellEntry, EveryFileManagersMenuRunsTheKmlExportOnTheClickedFolder) {
  EntrySandbox s;
  ASSERT_EQ(s.Run("-install-kml").exitCode, 0);
  const std::string parent = s.box.work();
  const std::string folder = parent + "Trip \"2010\" 'sea' $HOME & 100%1";
  s.box.dir().Write("work/Trip \"2010\" 'sea' $HOME & 100%1/harbour.jpg", HarbourPhoto());
  s.box.dir().Write("work/Trip \"2010\" 'sea' $HOME & 100%1/meadow.jpg", MeadowPhoto());
  s.box.dir().Write("work/Trip \"2010\" 'sea' $HOME & 100%1/later/again.jpg", HarbourPhoto());
  const std::string kml = folder + "/_pixmeta.kml";
  const std::vector<std::string> env = {"HOME=" + s.box.dir().path() + "home"};

  const auto expectKml = [&](const std::string& manager, int exitCode) {
    EXPECT_EQ(exitCode, 0) << manager;
    ASSERT_TRUE(std::filesystem::exists(kml)) << manager;
    const std::string text = ReadBytes(kml);
    EXPECT_EQ(Count(text, "<PhotoOverlay "), 2u) << manager;
    EXPECT_THAT(text, HasSubstr("<kml")) << manager;
    EXPECT_THAT(text, HasSubstr("</kml>")) << manager;
    std::filesystem::remove(kml);
  };

  // Nautilus runs the script itself, in the current folder, with the selection as
  // arguments and in its variables.
  struct stat st{};
  ASSERT_EQ(::stat(s.Nautilus().c_str(), &st), 0);
  EXPECT_NE(st.st_mode & S_IXUSR, 0u);
  std::vector<std::string> nautilusEnv = env;
  nautilusEnv.push_back("NAUTILUS_SCRIPT_SELECTED_FILE_PATHS=" + folder + "\n");
  nautilusEnv.push_back("NAUTILUS_SCRIPT_CURRENT_URI=file://" + parent);
  expectKml("Nautilus", Spawn({s.Nautilus(), folder}, parent, nautilusEnv));

  const std::string nemo = ReadBytes(s.Nemo());
  EXPECT_EQ(RawValue(nemo, "Nemo Action", "Name"), "PixMeta KML");
  EXPECT_EQ(RawValue(nemo, "Nemo Action", "Selection"), "s");
  EXPECT_EQ(RawValue(nemo, "Nemo Action", "Extensions"), "dir;");
  const std::optional<std::string> nemoExec = RawValue(nemo, "Nemo Action", "Exec");
  ASSERT_TRUE(nemoExec);
  expectKml("Nemo", Spawn(ExpandedShellStyle(Unescaped(*nemoExec), 'F', folder), parent, env));

  const std::string dolphin = ReadBytes(s.Dolphin());
  ASSERT_EQ(::stat(s.Dolphin().c_str(), &st), 0);
  EXPECT_NE(st.st_mode & S_IXUSR, 0u);  // KDE runs only service menus marked executable
  EXPECT_EQ(RawValue(dolphin, "Desktop Entry", "MimeType"), "inode/directory;");
  EXPECT_EQ(RawValue(dolphin, "Desktop Action run", "Name"), "PixMeta KML");
  const std::optional<std::string> dolphinExec = RawValue(dolphin, "Desktop Action run", "Exec");
  ASSERT_TRUE(dolphinExec);
  expectKml("Dolphin", Spawn(ExpandedDesktopStyle(Unescaped(*dolphinExec), folder), parent, env));

  const std::string caja = ReadBytes(s.Caja());
  EXPECT_EQ(RawValue(caja, "Desktop Entry", "Type"), "Action");
  EXPECT_EQ(RawValue(caja, "Desktop Entry", "Profiles"), "main;");
  EXPECT_EQ(RawValue(caja, "X-Action-Profile main", "MimeTypes"), "inode/directory;");
  const std::optional<std::string> cajaExec = RawValue(caja, "X-Action-Profile main", "Exec");
  ASSERT_TRUE(cajaExec);
  expectKml("Caja", Spawn(ExpandedShellStyle(Unescaped(*cajaExec), 'f', folder), parent, env));
}

// desktop-file-validate's complaints about a file, one per line.
std::vector<std::string> Complaints(const std::string& path) {
  const std::string command = "desktop-file-validate '" + path + "' 2>&1";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), &::pclose);
  std::string text;
  char buffer[4096];
  for (size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) {
    text.append(buffer, n);
  }
  return SplitLines(text);
}

TEST(ShellEntry, TheDesktopEntriesPassTheDesktopEntryValidator) {
  if (std::system("desktop-file-validate --help >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "desktop-file-validate is not installed (Debian package desktop-file-utils)";
  }
  EntrySandbox s;
  ASSERT_EQ(s.Run("-install-kml").exitCode, 0);
  // The validator knows the application, link and folder types only: what it says about
  // the keys of KDE's service type and of the file-manager action type is expected; the
  // syntax, the escapes and the Exec lines must pass.
  const std::vector<std::string> extensionTypes = {
      "key \"MimeType\" is present in group \"Desktop Entry\", but the type is \"Service\"",
      "key \"Actions\" is present in group \"Desktop Entry\", but the type is \"Service\"",
      "value \"Action\" for key \"Type\" in group \"Desktop Entry\" is not a registered type",
      "file contains key \"Tooltip\" in group \"Desktop Entry\", but keys extending",
      "file contains key \"Profiles\" in group \"Desktop Entry\", but keys extending",
  };
  for (const std::string& path : {s.Dolphin(), s.Caja()}) {
    std::vector<std::string> others;
    for (const std::string& line : Complaints(path)) {
      bool expected = false;
      for (const std::string& known : extensionTypes) expected |= line.find(known) != std::string::npos;
      if (!expected) others.push_back(line);
    }
    EXPECT_THAT(others, IsEmpty()) << path;
  }
}

}  // namespace
}  // namespace pixmeta::test
