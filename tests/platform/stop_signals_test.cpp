#include "platform/stop_signals.h"

#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "fixtures/temp_dir.h"
#include "platform/file_system.h"
#include "platform/rewritten_file.h"

namespace pixmeta::platform {
namespace {

using test::ReadBytes;
using test::TempDir;
using ::testing::UnorderedElementsAre;

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

// The wait status of a child process that runs body and then exits with 0.
int InChild(const std::function<void()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    body();
    ::_exit(0);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

TEST(StopSignals, AStoppedRunRemovesItsTemporaryFilesAndDiesOfTheSignal) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(::strsignal(signal));
    TempDir dir;
    const std::string photo = dir.Write("p.jpg", "old photo");
    const std::string list = dir.Write("list.txt", "old list");
    const int status = InChild([&] {
      RemoveTemporariesWhenStopped();
      std::string error;
      std::optional<InputFile> source = InputFile::Open(photo);
      if (!source) ::_exit(100);
      std::optional<RewrittenFile> rewrite = RewrittenFile::Begin(photo, *source, error);
      std::optional<ReplacingFile> replacing = ReplacingFile::Create(list, error);
      if (!rewrite || !replacing || !rewrite->Write("new") || !replacing->Write("new")) {
        ::_exit(100);
      }
      if (Names(dir.path()).size() != 4) ::_exit(101);  // both temporary files are there
      ::raise(signal);
      ::_exit(102);
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "wait status " << status;
    EXPECT_THAT(Names(dir.path()), UnorderedElementsAre("p.jpg", "list.txt"));
    EXPECT_EQ(ReadBytes(photo), "old photo");
    EXPECT_EQ(ReadBytes(list), "old list");
  }
}

TEST(StopSignals, ASignalIgnoredFromTheStartStaysIgnored) {
  TempDir dir;
  const std::string list = dir.Write("list.txt", "old list");
  const int status = InChild([&] {
    std::signal(SIGHUP, SIG_IGN);  // as nohup starts a program
    RemoveTemporariesWhenStopped();
    std::string error;
    std::optional<ReplacingFile> replacing = ReplacingFile::Create(list, error);
    ::raise(SIGHUP);
    if (!replacing || !replacing->Write("new list") || !replacing->Commit(error)) ::_exit(100);
  });
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
  EXPECT_EQ(ReadBytes(list), "new list");
}

}  // namespace
}  // namespace pixmeta::platform
