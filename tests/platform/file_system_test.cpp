#include "platform/file_system.h"

#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

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
