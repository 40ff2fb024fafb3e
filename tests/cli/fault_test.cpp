// End-to-end tests of rewriting photos when things go wrong part-way: a write that the
// file-size limit stops, a full disk, a run stopped by a signal, and a run killed at a
// random moment. Afterwards every photo holds either its old bytes or the complete new ones
// that the same edit gives in an undisturbed run, a run that ended normally or was stopped
// leaves no temporary file, and a temporary file left by a killed run is never taken for a
// photo.
#include <fnmatch.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "fixtures/bench_photo.h"
#include "fixtures/cli_runner.h"
#include "fixtures/photo_folder.h"
#include "fixtures/sample_photos.h"

namespace pixmeta::test {
namespace {

using Files = std::map<std::string, std::string>;

const std::vector<std::string> kEdit = {"-q", "-c=x", "-ad=1"};

std::vector<std::string> With(std::vector<std::string> args, const std::string& more) {
  args.push_back(more);
  return args;
}

// What each photo of the folder holds after kEdit in an undisturbed run over copies.
Files Rewritten(const std::string& originals) {
  CliSandbox reference;
  CopyFolder(originals, reference.work() + "p/");
  const CliResult r = reference.Run(With(kEdit, "p/*.jpg"));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(reference.ErrorLog(), "");
  return ReadFolder(reference.work() + "p/");
}

// Checks that every photo of the folder holds its old bytes or its new ones, and that no
// photo is missing; returns the names of those that kept their old bytes.
std::set<std::string> KeptOld(const std::string& folder, const Files& old, const Files& fresh) {
  std::set<std::string> kept;
  const Files now = ReadFolder(folder);
  for (const auto& [name, bytes] : old) {
    const auto it = now.find(name);
    if (it == now.end()) {
      ADD_FAILURE() << folder << name << " is gone";
      continue;
    }
    if (it->second == bytes) {
      kept.insert(name);
    } else {
      EXPECT_TRUE(it->second == fresh.at(name))
          << folder << name << " holds neither its old nor its new bytes (" << it->second.size()
          << " bytes; old " << bytes.size() << ", new " << fresh.at(name).size() << ")";
    }
  }
  return kept;
}

// The photos (by name) that the error log names in lines "#ERROR " + prefix + name + ": "
// + reason.
std::set<std::string> NamedInErrors(const std::string& log, const std::string& prefix,
                                    const std::string& reason) {
  std::set<std::string> names;
  for (const std::string& line : SplitLines(log)) {
    const std::string start = "#ERROR " + prefix;
    const size_t colon = line.find(": ");
    if (!line.starts_with(start) || colon == std::string::npos) continue;
    EXPECT_EQ(line.substr(colon + 2), reason) << line;
    names.insert(line.substr(start.size(), colon - start.size()));
  }
  return names;
}

// A run writes its error log only when it has errors: the log of an earlier run goes first.
void ForgetErrors(const CliSandbox& box) {
  std::filesystem::remove(box.binDir() + "pixmeta-error.txt");
}

bool NamesAJpeg(const std::string& name) {
  return ::fnmatch("*.jpg", name.c_str(), FNM_CASEFOLD) == 0;
}

// Photos of four sizes, from about 13 KB to 75 KB, eight of them.
std::string WriteMixedSizes(const CliSandbox& box) {
  const std::string originals = box.work() + "originals/";
  WritePhotos(originals,
              {NoisyPhoto(72, 1), NoisyPhoto(140, 2), NoisyPhoto(200, 3), NoisyPhoto(256, 4)}, 8);
  return originals;
}

// Sizes between the new photos' sizes, and one below and one above all of them.
std::vector<uint64_t> SizesBetween(const Files& fresh) {
  std::set<uint64_t> sizes;
  for (const auto& [name, bytes] : fresh) sizes.insert(bytes.size());
  if (sizes.empty()) return {};
  std::vector<uint64_t> between = {*sizes.begin() / 2};
  for (auto it = sizes.begin(); std::next(it) != sizes.end(); ++it) {
    between.push_back((*it + *std::next(it)) / 2);
  }
  between.push_back(*sizes.rbegin() + 4096);
  return between;
}

TEST(Faults, AWriteStoppedPartWayKeepsEveryPhotoWhole) {
  CliSandbox box;
  const std::string originals = WriteMixedSizes(box);
  const Files old = ReadFolder(originals);
  const Files fresh = Rewritten(originals);
  ASSERT_EQ(fresh.size(), old.size());
  for (const uint64_t limit : SizesBetween(fresh)) {
    SCOPED_TRACE("file size limit " + std::to_string(limit));
    const std::string name = "limit" + std::to_string(limit) + "/";
    CopyFolder(originals, box.work() + name);
    ForgetErrors(box);
    const CliResult r = box.Run(With(kEdit, name + "*.jpg"), "", {},
                                {"/usr/bin/prlimit", "--fsize=" + std::to_string(limit), "--"});
    EXPECT_EQ(r.exitCode, 0);
    const std::set<std::string> kept = KeptOld(box.work() + name, old, fresh);
    for (const auto& [photo, bytes] : fresh) {
      EXPECT_EQ(kept.contains(photo), bytes.size() > limit) << photo;
    }
    EXPECT_EQ(NamedInErrors(box.ErrorLog(), name, "writing failed: File too large"), kept);
    EXPECT_EQ(HiddenNames(box.work() + name), std::vector<std::string>{});
  }
}

// A small file system of its own for the photos: tmpfs, mounted by the run's launcher
// (directly when the test may mount, else in a user and mount namespace of its own). The
// launcher fills it so that only the given number of bytes stay free, runs pixmeta over
// its photos/ folder, copies that folder out and unmounts it.
class DiskFull : public ::testing::Test {
 protected:
  void SetUp() override {
    mountPoint_ = box_.dir().path() + "disk";
    std::filesystem::create_directories(mountPoint_);
  }
  void TearDown() override {
    // Only left mounted when the launcher was killed between mounting and unmounting.
    std::FILE* mounts = std::fopen("/proc/self/mounts", "r");
    if (mounts == nullptr) return;
    char line[4096];
    bool mounted = false;
    while (std::fgets(line, sizeof line, mounts) != nullptr) {
      if (std::string(line).find(" " + mountPoint_ + " ") != std::string::npos) mounted = true;
    }
    std::fclose(mounts);
    if (mounted) std::system(("umount -l '" + mountPoint_ + "'").c_str());
  }

  // Runs pixmeta with args (which name the photos under disk/photos/) over copies of the
  // originals, with free bytes left on the file system; the photos afterwards go to out.
  // None when no file system could be mounted.
  std::optional<CliResult> RunOnFullDisk(const std::string& originals, uint64_t free,
                                         const std::string& out,
                                         const std::vector<std::string>& args) {
    static constexpr const char* kScript = R"(
      mnt=$1 stage=$2 free=$3 out=$4
      shift 4
      mount -t tmpfs -o size=2m tmpfs "$mnt" 2>/dev/null || exit 99
      mkdir "$mnt/photos" && cp "$stage"/* "$mnt/photos/" || { umount "$mnt"; exit 98; }
      cat /dev/zero >"$mnt/fill" 2>/dev/null
      truncate -s "-$free" "$mnt/fill" || { umount "$mnt"; exit 98; }
      "$@"
      rc=$?
      mkdir -p "$out" && cp -a "$mnt/photos/." "$out/"
      umount "$mnt"
      exit $rc
    )";
    std::filesystem::create_directories(out);
    for (const bool ownNamespace : {false, true}) {
      if (!ownNamespace && ::geteuid() != 0) continue;
      std::vector<std::string> launcher;
      if (ownNamespace) launcher = {"/usr/bin/unshare", "-rm"};
      for (const std::string& part : {std::string("/bin/sh"), std::string("-c"),
                                      std::string(kScript), std::string("sh"), mountPoint_,
                                      originals, std::to_string(free), out}) {
        launcher.push_back(part);
      }
      ForgetErrors(box_);
      CliResult r = box_.Run(args, "", {}, launcher);
      if (r.exitCode == 98) ADD_FAILURE() << "could not prepare the file system: " << r.err;
      if (r.exitCode != 99) return r;
    }
    return std::nullopt;
  }

  CliSandbox box_;
  std::string mountPoint_;
};

TEST_F(DiskFull, ARewriteThatRunsOutOfSpaceKeepsEveryPhotoWhole) {
  const std::string originals = WriteMixedSizes(box_);
  const Files old = ReadFolder(originals);
  const Files fresh = Rewritten(originals);
  ASSERT_EQ(fresh.size(), old.size());
  const std::string prefix = mountPoint_ + "/photos/";
  for (const uint64_t free : SizesBetween(fresh)) {
    SCOPED_TRACE("free bytes " + std::to_string(free));
    const std::string out = box_.work() + "free" + std::to_string(free) + "/";
    const std::optional<CliResult> r =
        RunOnFullDisk(originals, free, out, With(kEdit, prefix + "*.jpg"));
    if (!r) {
      GTEST_SKIP() << "cannot mount a tmpfs here, neither directly nor with unshare -rm "
                      "(needs root or unprivileged user namespaces)";
    }
    EXPECT_EQ(r->exitCode, 0) << r->out << r->err;
    const std::set<std::string> kept = KeptOld(out, old, fresh);
    // The file system counts whole pages; no limit lies within a page of a photo's size.
    for (const auto& [photo, bytes] : fresh) {
      EXPECT_EQ(kept.contains(photo), bytes.size() > free) << photo;
    }
    EXPECT_EQ(NamedInErrors(box_.ErrorLog(), prefix, "writing failed: No space left on device"),
              kept);
    EXPECT_EQ(HiddenNames(out), std::vector<std::string>{});
  }
}

// Sends a signal to the run that makes the n-th temporary file of a rewrite in a folder, as
// soon as that file appears: the run's process id is part of the file's name.
class SignalAtTemporaryFile {
 public:
  SignalAtTemporaryFile(const std::string& folder, int nth, int signal)
      : inotify_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)), nth_(nth), signal_(signal) {
    if (inotify_ < 0 || ::inotify_add_watch(inotify_, folder.c_str(), IN_CREATE) < 0) {
      throw std::runtime_error("cannot watch " + folder);
    }
    thread_ = std::thread([this] { Watch(); });
  }
  ~SignalAtTemporaryFile() {
    stop_ = true;
    thread_.join();
    ::close(inotify_);
  }
  bool Sent() const { return sent_; }

 private:
  void Watch() {
    int seen = 0;
    alignas(inotify_event) char buffer[8192];
    while (!stop_) {
      pollfd ready{inotify_, POLLIN, 0};
      if (::poll(&ready, 1, 20) <= 0) continue;
      const ssize_t n = ::read(inotify_, buffer, sizeof buffer);
      for (ssize_t at = 0; at < n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        const std::string name = event->len > 0 ? event->name : "";
        const size_t mark = name.find(".pixmeta-");
        if (!name.starts_with('.') || mark == std::string::npos || ++seen != nth_) continue;
        ::kill(static_cast<pid_t>(std::atoi(name.c_str() + mark + 9)), signal_);
        sent_ = true;
        return;
      }
    }
  }

  int inotify_;
  int nth_;
  int signal_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> sent_{false};
  std::thread thread_;
};

TEST(Faults, AStopSignalDuringARewriteLeavesNoTemporaryFile) {
  constexpr int kPhotos = 5;
  CliSandbox box;
  const std::string originals = box.work() + "originals/";
  // Megabytes of image data each, so the signal comes while the photo is copied and synced.
  WritePhotos(originals, {BenchPhoto()}, kPhotos);
  const Files old = ReadFolder(originals);
  const Files fresh = Rewritten(originals);
  ASSERT_EQ(fresh.size(), old.size());
  struct Case {
    int signal;
    int nth;  // the rewrite during which it comes
    bool underNohup;
  };
  const Case cases[] = {{SIGTERM, 1, false}, {SIGTERM, 4, false}, {SIGINT, 1, false},
                        {SIGINT, 3, false},  {SIGHUP, 2, false},  {SIGHUP, 2, true}};
  for (const Case& c : cases) {
    // Appended a piece at a time: GCC 12 warns falsely about "s" + text in Release builds.
    std::string name = "s";
    name.append(std::to_string(c.signal)).append("-").append(std::to_string(c.nth));
    name.append(c.underNohup ? "-nohup/" : "/");
    SCOPED_TRACE(std::string(::strsignal(c.signal)) + " during rewrite " +
                 std::to_string(c.nth) + (c.underNohup ? " under nohup" : ""));
    CopyFolder(originals, box.work() + name);
    ForgetErrors(box);
    std::vector<std::string> launcher;
    if (c.underNohup) launcher = {"/usr/bin/nohup"};
    CliResult r;
    {
      SignalAtTemporaryFile stopper(box.work() + name, c.nth, c.signal);
      r = box.Run(With(kEdit, name + "*.jpg"), "", {}, launcher);
      ASSERT_TRUE(stopper.Sent());
    }
    const std::set<std::string> kept = KeptOld(box.work() + name, old, fresh);
    EXPECT_EQ(HiddenNames(box.work() + name), std::vector<std::string>{});
    EXPECT_EQ(HiddenNames(box.binDir()), std::vector<std::string>{});
    if (c.underNohup) {
      // Ignored from the start: the run goes on and edits every photo.
      EXPECT_EQ(r.signal, 0);
      EXPECT_EQ(r.exitCode, 0) << r.err;
      EXPECT_TRUE(kept.empty());
    } else {
      EXPECT_EQ(r.signal, c.signal) << "exit code " << r.exitCode;
      EXPECT_GE(kept.size(), static_cast<size_t>(kPhotos - c.nth));
    }
  }
}

std::vector<std::string> ShellGlob(const std::string& folder) {
  const std::string command = "cd '" + folder + "' && printf '%s\\n' *.jpg";
  const std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), &::pclose);
  std::string text;
  char buffer[4096];
  for (size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) {
    text.append(buffer, n);
  }
  return SplitLines(text);
}

TEST(Faults, ARunKilledAtRandomMomentsNeverCostsAPhoto) {
  constexpr int kPhotos = 200;
  constexpr int kRounds = 10;
  CliSandbox box;
  const std::string originals = box.work() + "originals/";
  const std::vector<std::string> names = WritePhotos(
      originals, {HarbourPhoto(), MeadowPhoto(), NoisyPhoto(64, 5), NoisyPhoto(120, 6)}, kPhotos);
  const Files old = ReadFolder(originals);
  // An undisturbed run gives the new bytes and how long a whole run takes in this build.
  CopyFolder(originals, box.work() + "whole/");
  const CliResult whole = box.Run(With(kEdit, "whole/*.jpg"));
  ASSERT_EQ(whole.exitCode, 0);
  ASSERT_EQ(box.ErrorLog(), "");
  const Files fresh = ReadFolder(box.work() + "whole/");

  const unsigned seed = std::random_device()();
  SCOPED_TRACE("seed " + std::to_string(seed) + ", whole run " + std::to_string(whole.seconds) +
               " s");
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> moment(0.05, 0.9);
  int cutMidway = 0;
  std::string withLeftovers;
  for (int round = 0; round < kRounds; ++round) {
    const std::string name = "kills/k" + std::to_string(round) + "/";
    const std::string folder = box.work() + name;
    CopyFolder(originals, folder);
    const double after = whole.seconds * moment(random);
    SCOPED_TRACE("round " + std::to_string(round) + ", killed after " + std::to_string(after) +
                 " s");
    box.SetTimeLimit(after);
    const CliResult r = box.Run(With(kEdit, name + "*.jpg"));
    const std::set<std::string> kept = KeptOld(folder, old, fresh);
    const std::vector<std::string> hidden = HiddenNames(folder);
    if (!r.timedOut) {
      EXPECT_EQ(r.exitCode, 0);
      EXPECT_TRUE(kept.empty());
      EXPECT_EQ(hidden, std::vector<std::string>{});
    }
    if (!kept.empty() && kept.size() < old.size()) ++cutMidway;
    for (const std::string& leftover : hidden) {
      EXPECT_FALSE(NamesAJpeg(leftover)) << leftover;
      if (withLeftovers.empty()) withLeftovers = name;
    }
  }
  EXPECT_GT(cutMidway, 0) << "no kill landed while the photos were being rewritten";
  box.SetTimeLimit(120);

  // A search lists the photos alone, whatever the killed runs left beside them.
  const CliResult listing = box.Run({"-s", "-q", "kills/*.jpg"});
  ASSERT_EQ(listing.exitCode, 0);
  int listed = 0;
  for (const std::string& line : SplitLines(box.InfoLog())) {
    if (!line.starts_with("file:")) continue;
    ++listed;
    EXPECT_TRUE(NamesAJpeg(line) && line.find("/.") == std::string::npos) << line;
  }
  EXPECT_EQ(listed, kPhotos * kRounds);

  // So does the shell, and a normal run beside the leftovers leaves none of its own.
  const std::string folder = withLeftovers.empty() ? "kills/k0/" : withLeftovers;
  EXPECT_EQ(ShellGlob(box.work() + folder), names);
  const std::vector<std::string> before = HiddenNames(box.work() + folder);
  ForgetErrors(box);
  const CliResult again = box.Run({"-q", "-c=y", folder + "*.jpg"});
  EXPECT_EQ(again.exitCode, 0);
  EXPECT_EQ(box.ErrorLog(), "");
  EXPECT_EQ(HiddenNames(box.work() + folder), before);
}

}  // namespace
}  // namespace pixmeta::test
