#include "util/file_times.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "fixtures/temp_dir.h"
#include "platform/clock.h"

namespace pixmeta {
namespace {

using test::TempDir;

TEST(FileTimes, ModifiedUtcIsTakenWithoutLocalTime) {
  TempDir dir;
  const std::string path = dir.Write("a.jpg", "x");
  setenv("TZ", "America/New_York", 1);
  tzset();
  // 2010-06-01 12:00:00 UTC
  const timespec times[2] = {{1275393600, 0}, {1275393600, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  const double days = FileModifiedUtc(path);
  EXPECT_DOUBLE_EQ(days - std::floor(days), 0.5);
  EXPECT_EQ(FileModifiedUtc(dir.path() + "missing.jpg"), 0.0);
  unsetenv("TZ");
  tzset();
}

TEST(FileTimes, SetFileDatesStoresLocalTimeAndLeavesAZeroTimeAlone) {
  TempDir dir;
  const std::string path = dir.Write("a.jpg", "x");
  setenv("TZ", "Europe/Stockholm", 1);
  tzset();
  const timespec before[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), before, 0), 0);
  const double local = platform::EncodeDayCount({2010, 6, 1, 12, 0, 0}).value();
  std::string error;
  ASSERT_TRUE(SetFileDates(path, local, 0, local, error)) << error;
  struct stat st{};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1275386400);  // 12:00 summer time is 10:00 UTC
  EXPECT_EQ(st.st_atim.tv_sec, 1000000000);
  EXPECT_FALSE(SetFileDates(dir.path() + "missing.jpg", 0, 0, local, error));
  EXPECT_FALSE(error.empty());
  unsetenv("TZ");
  tzset();
}

}  // namespace
}  // namespace pixmeta
