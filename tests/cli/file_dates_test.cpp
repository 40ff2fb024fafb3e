// End-to-end tests of the date list and of setting file dates, each under more than one
// time zone: the dates are local times, and a stored date reads back as it was set.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "fixtures/cli_runner.h"
#include "fixtures/jpeg_builder.h"
#include "fixtures/sample_photos.h"
#include "fixtures/tiff_builder.h"

namespace pixmeta::test {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

// 2020-01-01 23:30:00 UTC, already the next day in Stockholm.
constexpr time_t kOldTime = 1577921400;

std::string LocalText(time_t t, const char* format = "%Y-%m-%d %H:%M:%S") {
  std::tm local{};
  localtime_r(&t, &local);
  char text[64];
  return std::string(text, std::strftime(text, sizeof text, format, &local));
}

time_t ModifiedTime(const std::string& path) {
  struct stat st{};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mtime;
}

std::string LocalModified(const std::string& path) { return LocalText(ModifiedTime(path)); }

// A photo whose EXIF holds the given DateTime and, in its Exif directory, the given tags.
std::string PhotoWithDates(const char* dateTime,
                           std::vector<std::pair<uint16_t, const char*>> exifDates) {
  TiffBuilder tiff(false);
  const int exif = tiff.AddIfd();
  tiff.Ascii(0, 0x0132, dateTime).Link(0, 0x8769, exif);
  for (const auto& [tag, text] : exifDates) tiff.Ascii(exif, tag, text);
  return JpegBuilder(16, 8).Exif(tiff.Build()).Build();
}

class FileDates : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (const char* tz = std::getenv("TZ")) savedTz_ = tz;
    ::setenv("TZ", GetParam(), 1);
    ::tzset();
    old_ = LocalText(kOldTime);
  }
  void TearDown() override {
    if (savedTz_) {
      ::setenv("TZ", savedTz_->c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }

  std::vector<std::string> Run(const std::vector<std::string>& args,
                               const std::vector<std::string>& launcher = {}) const {
    const CliResult r = box_.Run(args, "", {std::string("TZ=") + GetParam()}, launcher);
    EXPECT_EQ(r.exitCode, 0);
    return SplitLines(r.out);
  }

  // A file in the work folder, last written at kOldTime.
  std::string Put(const std::string& relative, const std::string& bytes) const {
    const std::string path = box_.dir().Write(relative, bytes);
    const timespec times[2] = {{kOldTime, 0}, {kOldTime, 0}};
    EXPECT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    return path;
  }

  CliSandbox box_;
  std::string old_;  // kOldTime as the run shows it

 private:
  std::optional<std::string> savedTz_;
};

TEST_P(FileDates, TheExifDateBecomesTheLocalFileTimeAndASecondRunFindsItSet) {
  const std::string path = Put("work/meadow.jpg", MeadowPhoto());
  EXPECT_THAT(Run({"-q", "-sfd", "-l=6", "meadow.jpg"}),
              ElementsAre("meadow.jpg = 2010-06-05 14:30:00", "meadow.jpg = " + old_,
                          "meadow.jpg " + old_ + " -> 2010-06-05 14:30:00"));
  EXPECT_EQ(LocalModified(path), "2010-06-05 14:30:00");
  EXPECT_THAT(Run({"-q", "-sfd", "meadow.jpg"}),
              ElementsAre("meadow.jpg 2010-06-05 14:30:00 == 2010-06-05 14:30:00"));
  // Printed in quiet mode or not, after the banner.
  EXPECT_THAT(Run({"-sfd", "meadow.jpg"}),
              ::testing::Contains("meadow.jpg 2010-06-05 14:30:00 == 2010-06-05 14:30:00"));
}

TEST_P(FileDates, AFileWithoutExifTakesTheDateInItsName) {
  const std::string beach = Put("work/100605_beach.jpg", ScanPhoto());
  const std::string dunes = Put("work/100605_dunes.jpg", ScanPhoto());
  Put("work/IMG_1234.jpg", ScanPhoto());
  // Without -sfdy the file's own time is the date: nothing to change.
  EXPECT_THAT(Run({"-q", "-sfd", "100605_beach.jpg"}),
              ElementsAre("100605_beach.jpg " + old_ + " == " + old_));
  EXPECT_EQ(ModifiedTime(beach), kOldTime);

  EXPECT_THAT(Run({"-q", "-sfd", "-sfdy", "100605_beach.jpg", "IMG_1234.jpg"}),
              ElementsAre("100605_beach.jpg " + old_ + " -> 2010-06-05 00:00:00",
                          "IMG_1234.jpg " + old_ + " == " + old_));
  EXPECT_EQ(LocalModified(beach), "2010-06-05 00:00:00");

  // -sfdh keeps the file's own local time of day.
  const std::string timeOfDay = LocalText(kOldTime, "%H:%M:%S");
  EXPECT_THAT(Run({"-q", "-sfd", "-sfdy", "-sfdh", "100605_dunes.jpg"}),
              ElementsAre("100605_dunes.jpg " + old_ + " -> 2010-06-05 " + timeOfDay));
  EXPECT_EQ(LocalModified(dunes), "2010-06-05 " + timeOfDay);
}

TEST_P(FileDates, AnotherFolderGetsTheDateOfTheFileOfTheSameName) {
  const std::string source = Put("work/meadow.jpg", MeadowPhoto());
  const std::string target = box_.dir().path() + "converted/meadow.jpg";
  EXPECT_THAT(Run({"-q", "-sfd", "-sfdd=../converted", "meadow.jpg"}),
              ElementsAre("File not found: " + target));

  Put("converted/meadow.jpg", ScanPhoto());
  EXPECT_THAT(Run({"-q", "-sfd", "-sfdd=../converted/", "meadow.jpg"}),
              ElementsAre("meadow.jpg " + old_ + " -> 2010-06-05 14:30:00"));
  EXPECT_EQ(LocalModified(target), "2010-06-05 14:30:00");
  EXPECT_EQ(ModifiedTime(source), kOldTime);
}

TEST_P(FileDates, ATimeThatCannotBeSetIsAnErrorNotAChange) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to make a file the run does not own";
  Put("work/meadow.jpg", MeadowPhoto());
  // The run drops to an ordinary user, who may read the target but not set its times.
  const std::string target = Put("converted/meadow.jpg", ScanPhoto());
  for (const std::string& dir : {box_.dir().path(), box_.work(), box_.binDir()}) {
    ASSERT_EQ(::chmod(dir.c_str(), 0777), 0);
  }
  const auto lines =
      Run({"-q", "-sfd", "-sfdd=../converted", "meadow.jpg"},
          {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
  for (const std::string& line : lines) EXPECT_THAT(line, Not(HasSubstr("->")));
  EXPECT_THAT(box_.ErrorLog(), HasSubstr("#ERROR " + target + ": Operation not permitted"));
  EXPECT_EQ(ModifiedTime(target), kOldTime);
}

TEST_P(FileDates, AnUnsetExifDateIsNoDate) {
  const std::string path =
      Put("work/unset.jpg", PhotoWithDates("", {{0x9003, "0000:00:00 00:00:00"}}));
  EXPECT_THAT(Run({"-q", "-sfd", "-sfdy", "unset.jpg"}),
              ElementsAre("unset.jpg no valid date: \"0000:00:00 00:00:00\""));
  EXPECT_EQ(ModifiedTime(path), kOldTime);
  EXPECT_THAT(Run({"-q", "-dt", "unset.jpg"}),
              ElementsAre("unset.jpg\t" + LocalText(kOldTime, "%y%m%d") + "\t*"));
}

TEST_P(FileDates, TheDateListMarksDatesThatAreNotThePhotographs) {
  Put("work/meadow.jpg", MeadowPhoto());
  Put("work/digitized.jpg",
      PhotoWithDates("2008:08:08 08:08:08", {{0x9003, ""}, {0x9004, "2009:01:02 03:04:05"}}));
  Put("work/scan.jpg", ScanPhoto());
  Put("work/100605_beach.jpg", ScanPhoto());
  // The file's own day differs between the two zones.
  const std::string ownDay = LocalText(kOldTime, "%y%m%d");
  EXPECT_THAT(Run({"-q", "-dt", "meadow.jpg", "digitized.jpg", "scan.jpg", "100605_beach.jpg"}),
              ElementsAre("meadow.jpg\t100605", "digitized.jpg\t090102",
                          "scan.jpg\t" + ownDay + "\t*", "100605_beach.jpg\t" + ownDay + "\t*"));
  EXPECT_THAT(Run({"-q", "-dt", "-sfdy", "-f=yyyy-mm-dd hh:nn 'local'", "100605_beach.jpg",
                   "scan.jpg"}),
              ElementsAre("100605_beach.jpg\t2010-06-05 00:00 local",
                          "scan.jpg\t" + LocalText(kOldTime, "%Y-%m-%d %H:%M") + " local\t*"));
}

TEST_P(FileDates, TheDatesShiftedInTheSameRunAreUsed) {
  const std::string path = Put("work/meadow.jpg", MeadowPhoto());
  EXPECT_THAT(Run({"-q", "-ad=1", "-dt", "meadow.jpg"}), ElementsAre("meadow.jpg\t100606"));
  EXPECT_THAT(Run({"-q", "-ad=1", "-sfd", "-dt", "meadow.jpg"}),
              ElementsAre(EndsWith(" -> 2010-06-07 14:30:00"), "meadow.jpg\t100607"));
  EXPECT_EQ(LocalModified(path), "2010-06-07 14:30:00");
}

INSTANTIATE_TEST_SUITE_P(TimeZones, FileDates, ::testing::Values("UTC", "Europe/Stockholm"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           for (char& c : name) {
                             if (c == '/') c = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace pixmeta::test
