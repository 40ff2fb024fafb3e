// Installation and the Debian package: the installed program runs, the manual page
// renders cleanly, the completion completes, and the manual page and the completion name
// exactly the options of the option tables.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <regex>
#include <set>
#include <string>

#include "fixtures/cli_runner.h"
#include "fixtures/sample_photos.h"
#include "fixtures/temp_dir.h"
#include "iptc/iptc_table.h"
#include "main/options.h"
#include "platform/code_page.h"

namespace pixmeta::test {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

const std::string kSource = PIXMETA_SOURCE_DIR;
const std::string kBuild = PIXMETA_BUILD_DIR;

std::set<std::string> Lower(const std::vector<std::string_view>& words, std::string_view tail) {
  std::set<std::string> set;
  for (const std::string_view w : words) set.insert(platform::LowerCase(w) + std::string(tail));
  return set;
}

// Every option of the two tables: flags as spelled, parameters followed by "=".
std::set<std::string> TableOptions() {
  std::set<std::string> options = Lower(FlagSpellings(), "");
  for (const std::string& p : Lower(ParameterSpellings(), "=")) options.insert(p);
  return options;
}

// What the completion offers for the word cur, driven as bash drives it.
std::vector<std::string> Complete(const std::string& script, const std::string& cur,
                                  const std::string& cwd) {
  const std::string program =
      "source \"$1\"; COMP_WORDBREAKS=$' \\t\\n\"\\'><=;|&(:'; "
      "COMP_LINE=\"pixmeta $2\"; COMP_POINT=${#COMP_LINE}; COMP_WORDS=(pixmeta \"$2\"); "
      "COMP_CWORD=1; _pixmeta; printf '%s\\n' \"${COMPREPLY[@]}\"";
  const CliResult r = RunCommand({"bash", "--norc", "-c", program, "bash", script, cur}, cwd);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  std::vector<std::string> replies = SplitLines(r.out);
  std::erase(replies, "");
  return replies;
}

// The option tags of the manual page: the bold words of the lines after .TP and .TQ.
std::set<std::string> ManualPageOptions(const std::string& page) {
  std::string text = std::regex_replace(page, std::regex("\\\\\n"), "");
  text = std::regex_replace(text, std::regex("\\\\-"), "-");
  std::set<std::string> options;
  const std::vector<std::string> lines = SplitLines(text);
  const std::regex bold("\\\\fB([^\\\\]+)\\\\f");
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    if (lines[i] != ".TP" && lines[i] != ".TQ") continue;
    const std::string& tag = lines[i + 1];
    for (auto m = std::sregex_iterator(tag.begin(), tag.end(), bold);
         m != std::sregex_iterator(); ++m) {
      const std::string word = (*m)[1];
      if (word.find_first_of("-/?") == 0) options.insert(platform::LowerCase(word));
    }
  }
  return options;
}

TEST(Documentation, ManualPageNamesEveryOptionOfTheTablesAndNoOther) {
  std::set<std::string> listed = ManualPageOptions(ReadBytes(kSource + "/doc/pixmeta.1"));
  ASSERT_TRUE(listed.erase("--iptc:")) << "the --IPTC:key=value parameter";
  EXPECT_EQ(listed, TableOptions());
}

TEST(Documentation, CompletionOffersEveryOptionOfTheTablesAndEveryIptcKey) {
  TempDir empty;
  const std::string script = kSource + "/completions/pixmeta.bash";
  std::set<std::string> offered;
  for (const char* start : {"-", "/", "?"}) {
    for (const std::string& w : Complete(script, start, empty.path())) {
      // "/" also completes absolute paths.
      if (start[0] == '/' && std::filesystem::exists(w)) continue;
      offered.insert(platform::LowerCase(w));
    }
  }
  ASSERT_TRUE(offered.erase("--iptc:")) << "the --IPTC:key=value parameter";
  EXPECT_EQ(offered, TableOptions());

  std::set<std::string> keys;
  for (const std::string& w : Complete(script, "--IPTC:", empty.path())) keys.insert(w);
  std::set<std::string> expected = {"List"};
  for (const TagRow& row : IptcKeyTable()) {
    if (row.name != "SKIP") expected.insert(std::string(row.name) + "=");
  }
  EXPECT_EQ(keys, expected);
  EXPECT_EQ(Complete(script, "--iptc:ci", empty.path()), std::vector<std::string>{"City="});
}

TEST(Documentation, CompletionPutsJpegFilesFirst) {
  TempDir dir;
  for (const char* name : {"a.txt", "b.jpg", "C.JPEG", "d.png", "e.jpeg"}) dir.Write(name, "");
  dir.Make("album/x");
  EXPECT_EQ(Complete(kSource + "/completions/pixmeta.bash", "", dir.path()),
            (std::vector<std::string>{"C.JPEG", "b.jpg", "e.jpeg", "a.txt", "album", "d.png"}));
  EXPECT_EQ(Complete(kSource + "/completions/pixmeta.bash", "-o=b", dir.path()),
            std::vector<std::string>{"b.jpg"});
}

class Installed : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveTool("cmake")) GTEST_SKIP() << "cmake is not installed";
    const CliResult r =
        RunCommand({"cmake", "--install", kBuild, "--prefix", prefix_.path() + "usr"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  }
  std::string Path(const std::string& relative) const { return prefix_.path() + relative; }

  TempDir prefix_;
};

TEST_F(Installed, TheInstalledProgramRunsAndWritesItsLogsBesideIt) {
  TempDir work;
  const std::string photo = work.Write("harbour.jpg", HarbourPhoto());
  const CliResult r = RunCommand({Path("usr/bin/pixmeta"), "-s", "-q", photo}, work.path(),
                                 {"XDG_STATE_HOME=" + work.path() + "state"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr("Harbour at dusk"));
  EXPECT_THAT(ReadBytes(Path("usr/bin/pixmeta-info.txt")), HasSubstr("file:" + photo));
}

TEST_F(Installed, ManualPageRendersWithoutWarnings) {
  const std::string page = Path("usr/share/man/man1/pixmeta.1.gz");
  ASSERT_TRUE(std::filesystem::exists(page));
  if (HaveTool("man")) {
    const CliResult r = RunCommand({"man", "--warnings", "-l", page}, "", {"MANWIDTH=80"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_THAT(r.out, HasSubstr("--adjustdays"));
  }
  if (!HaveTool("groff")) GTEST_SKIP() << "groff is not installed";
  const CliResult r = RunCommand({"groff", "-ww", "-man", "-Tutf8", "-P-cbou", kSource + "/doc/pixmeta.1"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_THAT(r.out, HasSubstr("EXIT STATUS"));
}

TEST_F(Installed, CompletionOffersBothDaySpellings) {
  const std::string script = Path("usr/share/bash-completion/completions/pixmeta");
  const std::vector<std::string> replies = Complete(script, "--ad", prefix_.path());
  EXPECT_THAT(replies, Contains("--adjustday="));
  EXPECT_THAT(replies, Contains("--adjustdays="));
  for (const std::string& r : replies) EXPECT_THAT(r, ::testing::StartsWith("--adjust"));
}

// One test builds the package (cpack also brings the build folder up to date, which two
// runs at once must not do) and checks it: contents, lintian, and on a machine that may be
// changed, an install with apt-get, a run and the removal.
TEST(DebianPackage, HoldsTheProgramPassesLintianAndInstallsWithApt) {
  for (const char* tool : {"cpack", "dpkg-deb", "dpkg-shlibdeps"}) {
    if (!HaveTool(tool)) GTEST_SKIP() << tool << " is not installed";
  }
  TempDir folder;
  const CliResult built = RunCommand(
      {"cpack", "-G", "DEB", "--config", kBuild + "/CPackConfig.cmake", "-B", folder.path()});
  std::string package;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
    if (entry.path().extension() == ".deb") package = entry.path();
  }
  ASSERT_FALSE(package.empty()) << built.out << built.err;
  const std::string arch = RunCommand({"dpkg", "--print-architecture"}).out;
  EXPECT_THAT(package, ::testing::EndsWith("/pixmeta_0.31_" + arch.substr(0, arch.find('\n')) +
                                           ".deb"));

  const CliResult contents = RunCommand({"dpkg-deb", "-c", package});
  ASSERT_EQ(contents.exitCode, 0);
  for (const char* path :
       {"./usr/bin/pixmeta", "./usr/share/man/man1/pixmeta.1.gz",
        "./usr/share/bash-completion/completions/pixmeta", "./usr/share/doc/pixmeta/copyright",
        "./usr/share/doc/pixmeta/changelog.gz"}) {
    EXPECT_THAT(contents.out, HasSubstr(std::string(" ") + path + "\n")) << path;
  }
  const CliResult control = RunCommand({"dpkg-deb", "-f", package, "Depends", "Version"});
  for (const char* library : {"libjpeg", "libacl1", "libattr1"}) {
    EXPECT_THAT(control.out, HasSubstr(library));
  }
  EXPECT_THAT(control.out, HasSubstr("Version: 0.31"));

  if (HaveTool("lintian")) {
    const CliResult lint = RunCommand({"lintian", package});
    std::string errors;
    for (const std::string& line : SplitLines(lint.out)) {
      if (line.starts_with("E:")) errors += line + "\n";
    }
    EXPECT_EQ(errors, "");
  } else {
    std::cout << "lintian is not installed: the package is not linted\n";
  }

  // Installs on the machine itself: only as root on a machine that is thrown away after
  // the run (CI sets PIXMETA_DISPOSABLE_MACHINE=1).
  const char* disposable = std::getenv("PIXMETA_DISPOSABLE_MACHINE");
  if (disposable == nullptr || std::string(disposable) != "1" || ::geteuid() != 0 ||
      !HaveTool("apt-get")) {
    GTEST_SKIP() << "not installed with apt-get: only as root with "
                    "PIXMETA_DISPOSABLE_MACHINE=1";
  }
  const auto installed = [] {
    return RunCommand({"dpkg-query", "-W", "-f=${Status}", "pixmeta"}).out ==
           "install ok installed";
  };
  if (installed()) {
    GTEST_SKIP() << "a pixmeta package is installed already; it is left alone";
  }
  const std::vector<std::string> apt = {"DEBIAN_FRONTEND=noninteractive"};
  const CliResult install = RunCommand({"apt-get", "install", "-y", package}, "", apt);
  ASSERT_EQ(install.exitCode, 0) << install.out << install.err;
  EXPECT_TRUE(installed());
  TempDir work;
  const std::string photo = work.Write("harbour.jpg", HarbourPhoto());
  const CliResult run = RunCommand({"/usr/bin/pixmeta", "-s", photo}, work.path());
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_THAT(run.out, HasSubstr("GPSLatitude=59.329167"));
  EXPECT_THAT(RunCommand({"man", "-w", "pixmeta"}).out,
              HasSubstr("/usr/share/man/man1/pixmeta.1.gz"));

  const CliResult remove = RunCommand({"apt-get", "remove", "-y", "pixmeta"}, "", apt);
  EXPECT_EQ(remove.exitCode, 0) << remove.out << remove.err;
  EXPECT_FALSE(installed());
  // Root's run wrote its log beside the program; the removal takes it away too.
  for (const char* path : {"/usr/bin/pixmeta", "/usr/bin/pixmeta-info.txt",
                           "/usr/share/man/man1/pixmeta.1.gz",
                           "/usr/share/bash-completion/completions/pixmeta"}) {
    EXPECT_FALSE(std::filesystem::exists(path)) << path;
  }
}

}  // namespace
}  // namespace pixmeta::test
