#include "platform/file_system.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "fixtures/temp_dir.h"

namespace pixmeta::platform {
namespace {

using test::ReadBytes;
using test::TempDir;

// The names in a folder, hidden ones included.
std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

TEST(ReplacingFile, TheTargetChangesOnlyWhenTheNewFileIsComplete) {
  TempDir dir;
  const std::string target = dir.Write("out.txt", "old text");
  std::string error;
  {
    std::optional<ReplacingFile> file = ReplacingFile::Create(target, error);
    ASSERT_TRUE(file) << error;
    ASSERT_TRUE(file->Write("new "));
    // While it is written, the target keeps its old text and the new one is hidden.
    EXPECT_EQ(ReadBytes(target), "old text");
    ASSERT_EQ(Names(dir.path()).size(), 2u);
    for (const std::string& name : Names(dir.path())) {
      if (name != "out.txt") {
        EXPECT_EQ(name.front(), '.');
      }
    }
    ASSERT_TRUE(file->Write("text"));
    ASSERT_TRUE(file->Commit(error)) << error;
  }
  EXPECT_EQ(ReadBytes(target), "new text");
  EXPECT_THAT(Names(dir.path()), ::testing::ElementsAre("out.txt"));
}

TEST(ReplacingFile, WithoutCommitNothingChangesAndNothingIsLeft) {
  TempDir dir;
  const std::string target = dir.Write("out.txt", "old text");
  std::string error;
  {
    std::optional<ReplacingFile> file = ReplacingFile::Create(target, error);
    ASSERT_TRUE(file);
    file->Write("half of a text");
  }
  EXPECT_EQ(ReadBytes(target), "old text");
  EXPECT_THAT(Names(dir.path()), ::testing::ElementsAre("out.txt"));
  EXPECT_FALSE(ReplacingFile::Create(dir.path() + "missing/out.txt", error));
  EXPECT_EQ(error, "No such file or directory");
}

TEST(ReplacingFile, ANewFileGetsTheUsualPermissions) {
  TempDir dir;
  const mode_t old = ::umask(022);
  std::string error;
  std::optional<ReplacingFile> file = ReplacingFile::Create(dir.path() + "new.txt", error);
  ::umask(old);
  ASSERT_TRUE(file);
  ASSERT_TRUE(file->Commit(error));
  struct stat st{};
  ASSERT_EQ(::stat((dir.path() + "new.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
}

// The first bytes of the opened file.
std::string Start(OpenedFile& opened, size_t count) {
  std::string bytes;
  if (opened.file) opened.file->ReadInto(bytes, count);
  return bytes;
}

// Whether another open of the file could take its lock now.
bool LockIsFree(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  const bool free = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  if (fd >= 0) ::close(fd);
  return free;
}

TEST(OpenForRewrite, TheLockLastsUntilTheFileIsClosed) {
  TempDir dir;
  const std::string path = dir.Write("p.jpg", "old bytes");
  std::optional<OpenedFile> opened = OpenForRewrite(path, OpenForReading(path));
  ASSERT_TRUE(opened->file);
  EXPECT_FALSE(LockIsFree(path));
  opened.reset();
  EXPECT_TRUE(LockIsFree(path));
}

TEST(OpenForRewrite, AFileRenamedOverTheOpenedOneIsOpenedInstead) {
  TempDir dir;
  const std::string path = dir.Write("p.jpg", "old bytes");
  {
    OpenedFile before = OpenForReading(path);
    const std::string replacement = dir.Write(".p.jpg.new", "new bytes");
    ASSERT_EQ(::rename(replacement.c_str(), path.c_str()), 0);
    OpenedFile opened = OpenForRewrite(path, std::move(before));
    EXPECT_EQ(Start(opened, 9), "new bytes");
    EXPECT_EQ(opened.file->Info().inode, StatFile(path)->inode);
  }

  // Gone meanwhile: the file stays as it was opened, for the load and the rewrite to report.
  OpenedFile vanishing = OpenForReading(path);
  ASSERT_EQ(::unlink(path.c_str()), 0);
  OpenedFile kept = OpenForRewrite(path, std::move(vanishing));
  EXPECT_EQ(Start(kept, 9), "new bytes");
}

TEST(OpenForRewrite, WaitsForTheRunHoldingTheLockAndReadsItsResult) {
  TempDir dir;
  const std::string path = dir.Write("p.jpg", "old bytes");
  // Another run: it holds the lock while it writes its new file and renames it over.
  const int other = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(other, LOCK_EX), 0);
  std::atomic<bool> done = false;
  std::string read;
  std::thread waiter([&] {
    OpenedFile opened = OpenForRewrite(path, OpenForReading(path));
    read = Start(opened, 9);
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(done);
  const std::string replacement = dir.Write(".p.jpg.new", "new bytes");
  ASSERT_EQ(::rename(replacement.c_str(), path.c_str()), 0);
  ::close(other);
  waiter.join();
  EXPECT_EQ(read, "new bytes");
}

TEST(SpillFile, ReadsBackWhatWasAppended) {
  std::optional<SpillFile> file = SpillFile::Create();
  ASSERT_TRUE(file);
  ASSERT_TRUE(file->Append("hello "));
  ASSERT_TRUE(file->Append(std::string(100000, 'x')));
  EXPECT_EQ(file->Size(), 100006u);
  char buffer[8];
  EXPECT_EQ(file->ReadAt(3, buffer, 5), 5u);
  EXPECT_EQ(std::string_view(buffer, 5), "lo xx");
  EXPECT_EQ(file->ReadAt(100004, buffer, 8), 2u);
}

}  // namespace
}  // namespace pixmeta::platform
