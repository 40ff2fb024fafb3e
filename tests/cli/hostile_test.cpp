// Runs the binary over hundreds of damaged and crafted files with every kind of option:
// no run may crash, hang, trip a sanitizer or end with another exit code, and an edited
// file either reads back with its edits and its image data intact or keeps every byte.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "fixtures/cli_runner.h"
#include "fixtures/hostile_files.h"
#include "fixtures/jpeg_parts.h"

namespace pixmeta::test {
namespace {

using ::testing::Contains;
using ::testing::Not;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// One run over one file of at most a few megabytes.
constexpr double kFileSeconds = kSanitized ? 5.0 : 1.0;
// One run over the whole folder of hostile files.
constexpr double kFolderSeconds = kSanitized ? 120.0 : 30.0;

using Args = std::vector<std::string>;

const std::vector<Args>& ReadOptionSets() {
  static const std::vector<Args> sets = {{"-s"},
                                         {"-s", "-iptc", "-nx"},
                                         {"-kml", "-gll", "-dt", "-ori", "-im"},
                                         {"--sqlimgs"},
                                         {"--navsqlupdate"}};
  return sets;
}

// Every edit at once; the EXIF comment has a run of its own, since -c and --exifcomment
// share one setting.
const Args kEdits = {"-ad=1",     "-ah=2",       "-co",          "-rt",          "-c=x",
                     "-t=cap",    "-key=k1,k2",  "-cat=cat",     "-copy=cr",     "-obj=ob",
                     "--IPTC:City=z"};
const Args kExifCommentEdit = {"--exifcomment=y"};

std::string Describe(const Args& args) {
  std::string text;
  for (const std::string& a : args) text += (text.empty() ? "" : " ") + a;
  return text;
}

// Why the run was not sound, or empty.
std::string Fault(const CliResult& r, int exitCode = 0) {
  if (r.timedOut) return "hung (killed after its time limit)";
  if (const std::string report = SanitizerReport(r); !report.empty()) return report;
  if (r.exitCode != exitCode) return "exit code " + std::to_string(r.exitCode) + ": " + r.err;
  if (!r.err.empty()) return "wrote to standard error: " + r.err;
  return {};
}

// Runs jobs on a few children at a time.
std::vector<CliResult> RunAll(const CliSandbox& box, const std::vector<Args>& jobs) {
  std::vector<CliResult> results(jobs.size());
  std::atomic<size_t> next = 0;
  const auto work = [&] {
    for (size_t i; (i = next++) < jobs.size();) results[i] = box.Run(jobs[i]);
  };
  std::vector<std::thread> workers;
  for (int w = 0; w < 3; ++w) workers.emplace_back(work);
  for (std::thread& t : workers) t.join();
  return results;
}

class Hostile : public ::testing::Test {
 protected:
  void SetUp() override {
    files_ = HostileFiles();
    Populate("h");
    box_.SetTimeLimit(kFolderSeconds);
  }

  // Writes the hostile files into the folder, with things named like photos that are no
  // files: a folder (holding a photo, so a search walks into it) and FIFOs, which nothing
  // writes into.
  void Populate(const std::string& folder) {
    for (const HostileFile& f : files_) box_.dir().Write("work/" + folder + "/" + f.name, f.bytes);
    box_.dir().Write("work/" + folder + "/folder.jpg/inner.jpg", files_.front().bytes);
    for (const char* name : {"fifo.jpg", "fifo.tif", "fifo.png"}) {
      ASSERT_EQ(::mkfifo((box_.work() + folder + "/" + name).c_str(), 0644), 0);
    }
  }

  // The folder searched, and the odd names given one by one.
  static Args Targets(const std::string& folder) {
    return {folder + "/*", folder + "/fifo.jpg", folder + "/fifo.tif", folder + "/fifo.png",
            folder + "/folder.jpg", folder + "/empty.jpg"};
  }

  // When a run over the whole folder failed: the files that fail on their own.
  std::string Culprits(const Args& options, const std::string& folder) {
    std::vector<Args> jobs;
    for (const HostileFile& f : files_) {
      Args args = options;
      args.push_back(folder + "/" + f.name);
      jobs.push_back(args);
    }
    box_.SetTimeLimit(kFileSeconds);
    const std::vector<CliResult> results = RunAll(box_, jobs);
    box_.SetTimeLimit(kFolderSeconds);
    std::string found;
    for (size_t i = 0; i < jobs.size(); ++i) {
      if (const std::string fault = Fault(results[i]); !fault.empty()) {
        found += "\n  " + files_[i].name + ": " + fault.substr(0, 600);
      }
    }
    return found.empty() ? " (no single file fails)" : found;
  }

  void ExpectSoundRun(const Args& options, const std::string& folder) {
    Args args = options;
    const Args targets = Targets(folder);
    args.insert(args.end(), targets.begin(), targets.end());
    const CliResult r = box_.Run(args);
    const std::string fault = Fault(r);
    EXPECT_EQ(fault, "") << Describe(options) << " over the folder; culprits:"
                         << Culprits(options, folder);
  }

  // The -s report of each file, one run per file.
  std::vector<std::vector<std::string>> Reports(const std::string& folder,
                                                const std::vector<size_t>& which) {
    std::vector<Args> jobs;
    for (const size_t i : which) jobs.push_back({"-q", "-s", folder + "/" + files_[i].name});
    std::vector<std::vector<std::string>> reports;
    const std::vector<CliResult> results = RunAll(box_, jobs);
    for (size_t k = 0; k < which.size(); ++k) {
      EXPECT_EQ(Fault(results[k]), "") << "-s " << files_[which[k]].name;
      reports.push_back(SplitLines(results[k].out));
    }
    return reports;
  }

  // The hostile files in a folder of their own, for an edit run.
  std::string CopyFolder(const std::string& name) {
    Populate(name);
    return name;
  }

  // The files of the folder that the run changed; each must still be a JPEG whose image
  // data are the original's.
  std::vector<size_t> Changed(const std::string& folder) {
    std::vector<size_t> changed;
    for (size_t i = 0; i < files_.size(); ++i) {
      const std::string now = ReadBytes(box_.work() + folder + "/" + files_[i].name);
      if (now == files_[i].bytes) continue;
      changed.push_back(i);
      const JpegParts parts = SplitJpeg(now);
      EXPECT_TRUE(parts.valid) << files_[i].name << " was rewritten into no JPEG";
      EXPECT_TRUE(parts.valid && files_[i].bytes.ends_with(parts.scan))
          << files_[i].name << " lost its image data";
    }
    return changed;
  }

  CliSandbox box_;
  std::vector<HostileFile> files_;
};

TEST_F(Hostile, EveryReadingOptionGetsThroughTheWholeFolder) {
  for (const Args& options : ReadOptionSets()) ExpectSoundRun(options, "h");
}

TEST_F(Hostile, JsonGetsThroughEveryFile) {
  std::vector<Args> jobs;
  for (const HostileFile& f : files_) jobs.push_back({"-j", "h/" + f.name});
  for (const char* odd : {"h/fifo.jpg", "h/fifo.tif", "h/folder.jpg"}) jobs.push_back({"-j", odd});
  box_.SetTimeLimit(kFileSeconds);
  const std::vector<CliResult> results = RunAll(box_, jobs);
  for (size_t i = 0; i < jobs.size(); ++i) {
    EXPECT_EQ(Fault(results[i]), "") << Describe(jobs[i]);
    // The first file's members make one line, whatever the file holds.
    EXPECT_EQ(SplitLines(results[i].out).size(), 1u) << Describe(jobs[i]) << ": " << results[i].out;
  }
}

// yyyy:mm:dd hh:nn:ss moved on by the given hours, or the text itself when it is no date.
std::string Shifted(const std::string& date, int byHours) {
  using namespace std::chrono;
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  if (date.size() != 19 ||
      std::sscanf(date.c_str(), "%4d:%2d:%2d %2d:%2d:%2d", &y, &mo, &d, &h, &mi, &s) != 6) {
    return date;
  }
  const year_month_day ymd{year{y}, month{static_cast<unsigned>(mo)}, day{static_cast<unsigned>(d)}};
  if (!ymd.ok() || h > 23 || mi > 59 || s > 59) return date;
  const sys_seconds moved = sys_days(ymd) + hours{h + byHours} + minutes{mi} + seconds{s};
  const sys_days day0 = floor<days>(moved);
  const year_month_day out(day0);
  const hh_mm_ss time{moved - day0};
  char text[32];
  std::snprintf(text, sizeof text, "%04d:%02u:%02u %02ld:%02ld:%02ld", static_cast<int>(out.year()),
                static_cast<unsigned>(out.month()), static_cast<unsigned>(out.day()),
                static_cast<long>(time.hours().count()), static_cast<long>(time.minutes().count()),
                static_cast<long>(time.seconds().count()));
  return text;
}

std::optional<std::string> ValueIn(const std::vector<std::string>& report, const std::string& key) {
  for (const std::string& line : report) {
    if (line.starts_with(key + "=")) return line.substr(key.size() + 1);
  }
  return std::nullopt;
}

// The line after the section heading.
std::optional<std::string> SectionText(const std::vector<std::string>& report, const std::string& heading) {
  for (size_t i = 0; i + 1 < report.size(); ++i) {
    if (report[i] == heading) return report[i + 1];
  }
  return std::nullopt;
}

// exiftool's values of the tags (every copy of each) for the JPEG files, by file name.
std::map<std::string, std::set<std::string>> ExiftoolValues(const std::string& folder,
                                                            const std::string& tags) {
  std::map<std::string, std::set<std::string>> values;
  const std::string command = "cd '" + folder + "' && exiftool -m -a -s3 " + tags +
                              " -ext jpg . 2>/dev/null";
  const std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), &::pclose);
  if (!pipe) return values;
  std::string text;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) text.append(buffer, n);
  std::set<std::string>* current = nullptr;
  for (const std::string& line : SplitLines(text)) {
    if (line.starts_with("======== ./")) {
      current = &values[line.substr(11)];
    } else if (current != nullptr) {
      current->insert(line);
    }
  }
  return values;
}

TEST_F(Hostile, EditedFilesReadBackWithTheirEditsOrKeepEveryByte) {
  const std::string folder = CopyFolder("e");
  ExpectSoundRun(kEdits, folder);
  const std::string errors = box_.ErrorLog();
  const std::vector<size_t> changed = Changed(folder);
  // Most damaged photos can still be rewritten; a run that rewrote none proves nothing.
  EXPECT_GT(changed.size(), files_.size() / 4);
  // A photo under another format's name is read without its segments: rewriting it would
  // drop them.
  for (const char* name : {"photo_as.png", "photo_as.nef"}) {
    EXPECT_EQ(ReadBytes(box_.work() + folder + "/" + name), ReadBytes(box_.work() + "h/" + name));
    EXPECT_THAT(errors, ::testing::HasSubstr("#ERROR " + folder + "/" + name +
                                             ": not a JPEG image that can be rewritten"));
  }
  const auto before = Reports("h", changed);
  const auto after = Reports(folder, changed);
  for (size_t k = 0; k < changed.size(); ++k) {
    const std::string& name = files_[changed[k]].name;
    const std::vector<std::string>& now = after[k];
    const JpegParts parts = SplitJpeg(ReadBytes(box_.work() + folder + "/" + name));
    if (parts.segments.size() > 20) {
      // The reader stops after twenty segments, so a comment stored behind them cannot be
      // read back; it must be in the file all the same.
      EXPECT_THAT(SegmentsWith(parts, 0xFE), Contains(std::string("\xFF\xFE\0\x03x", 5))) << name;
    } else {
      EXPECT_EQ(SectionText(now, "[Comment]"), "x") << name;
    }
    // Twenty segments leave no slot for a new IPTC segment: the run says so.
    const bool iptcRefused =
        errors.find("#ERROR " + folder + "/" + name + ": IPTC segment can not be added") !=
        std::string::npos;
    for (const auto& [key, value] : {std::pair<std::string, std::string>{"City", "z"},
                                     {"ObjectName", "ob"}, {"ImageCaption", "cap"},
                                     {"Category", "cat"}, {"Copyright", "cr"}}) {
      if (!iptcRefused) {
        EXPECT_EQ(ValueIn(now, key), value) << name << " " << key;
      }
    }
    if (!iptcRefused) {
      EXPECT_THAT(now, Contains("Keywords=k1")) << name;
    }
    EXPECT_THAT(now, Not(Contains("[Thumbnail]"))) << name;
    if (ValueIn(now, "Orientation")) {
      EXPECT_EQ(ValueIn(now, "Orientation"), "Normal") << name;
    }
    for (const char* date : {"DateTimeOriginal", "DateTimeDigitized", "DateTime"}) {
      const std::optional<std::string> was = ValueIn(before[k], date);
      if (was) {
        EXPECT_EQ(ValueIn(now, date), Shifted(*was, 26)) << name << " " << date;
      }
    }
  }
  if (std::system("exiftool -ver >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "exiftool is not installed (Debian package libimage-exiftool-perl): the "
                    "edited files were only read back by pixmeta";
  }
  const auto independent = ExiftoolValues(box_.work() + folder, "-Comment -City -ObjectName");
  for (const size_t i : changed) {
    const std::string& name = files_[i].name;
    const auto found = independent.find(name);
    ASSERT_NE(found, independent.end()) << "exiftool cannot read " << name;
    EXPECT_TRUE(found->second.contains("x")) << name;
    if (errors.find(folder + "/" + name + ": IPTC") == std::string::npos) {
      EXPECT_TRUE(found->second.contains("z") && found->second.contains("ob")) << name;
    }
  }
}

TEST_F(Hostile, TheExifCommentReadsBackOrTheFileKeepsEveryByte) {
  const std::string folder = CopyFolder("u");
  ExpectSoundRun(kExifCommentEdit, folder);
  const std::vector<size_t> changed = Changed(folder);
  EXPECT_GT(changed.size(), files_.size() / 10);
  // A UserComment with no room after its character-code prefix cannot take the text.
  for (const char* name : {"ii_usercomment_count_8.jpg", "mm_usercomment_count_0.jpg"}) {
    EXPECT_EQ(ReadBytes(box_.work() + folder + "/" + name), ReadBytes(box_.work() + "h/" + name));
  }
  EXPECT_THAT(box_.ErrorLog(),
              ::testing::HasSubstr("#ERROR " + folder + "/ii_usercomment_count_8.jpg: EXIF Comment error?"));
  const auto after = Reports(folder, changed);
  for (size_t k = 0; k < changed.size(); ++k) {
    EXPECT_EQ(ValueIn(after[k], "UserComment"), "y") << files_[changed[k]].name;
  }
}

// Item of the limits test: each worst-case file with each kind of run.
struct Measured {
  std::string what;
  double seconds = 0;
  long rssKiB = 0;
};

TEST(HostileLimits, WorstCaseFilesStayWithinTimeAndMemory) {
  CliSandbox box;
  box.SetTimeLimit(kFileSeconds);
  // The sanitizers' own bookkeeping costs memory of its own; the bar stays 64 MiB for the
  // program, and a run that grows without bound still passes any fixed limit.
  const long limitKiB = kSanitized ? 512 * 1024 : 64 * 1024;
  const std::vector<Args> optionSets = {
      {"-s"}, {"-j"}, {"-kml", "-gll", "-dt", "-ori", "-im", "--sqlimgs", "--navsqlupdate"}, kEdits};
  std::vector<Measured> worst;
  for (const HostileFile& f : WorstCaseFiles()) {
    ASSERT_LE(f.bytes.size(), 4u << 20) << f.name;
    Measured slowest{f.name, 0, 0};
    for (const Args& options : optionSets) {
      const std::string path = box.dir().Write("work/" + f.name, f.bytes);
      Args args = options;
      args.push_back(f.name);
      const CliResult r = box.RunMeasured(args);
      EXPECT_EQ(Fault(r), "") << Describe(args);
      EXPECT_GT(r.maxRssKiB, 0) << Describe(args);
      EXPECT_LT(r.seconds, kFileSeconds) << Describe(args);
      EXPECT_LT(r.maxRssKiB, limitKiB) << Describe(args);
      if (r.seconds > slowest.seconds) slowest.seconds = r.seconds;
      if (r.maxRssKiB > slowest.rssKiB) slowest.rssKiB = r.maxRssKiB;
    }
    worst.push_back(slowest);
  }
  for (const Measured& m : worst) {
    std::printf("  %-26s slowest run %.3f s, peak memory %ld KiB\n", m.what.c_str(), m.seconds,
                m.rssKiB);
  }
}

TEST(HostileLimits, ARunThatHangsIsKilledAndReported) {
  CliSandbox box;
  box.SetTimeLimit(0.5);
  // The copy of the binary is replaced by a script that never ends.
  WriteBytes(box.binary(), "#!/bin/sh\nexec sleep 30\n");
  ASSERT_EQ(::chmod(box.binary().c_str(), 0755), 0);
  const CliResult r = box.Run({"-s"});
  EXPECT_TRUE(r.timedOut);
  EXPECT_LT(r.seconds, 5.0);
  EXPECT_NE(Fault(r), "");
}

}  // namespace
}  // namespace pixmeta::test
