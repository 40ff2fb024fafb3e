// End-to-end tests of writing an edited file back: a file that cannot be rewritten stays
// byte for byte as it was and is named in the error log; one that can keeps its
// permissions and extended attributes, and a link keeps pointing at the rewritten file. An
// ordinary user rewrites only the photos the user may write. An independent reader
// (exiftool, where it is installed) reads the edited values.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fixtures/cli_runner.h"
#include "fixtures/jpeg_builder.h"
#include "fixtures/jpeg_parts.h"
#include "fixtures/sample_photos.h"
#include "fixtures/tiff_builder.h"

namespace pixmeta::test {
namespace {

using ::testing::HasSubstr;
using ::testing::IsSupersetOf;
using ::testing::Not;

void ExpectUntouched(const CliSandbox& box, const std::string& path, const std::string& bytes,
                     const std::string& name) {
  EXPECT_EQ(ReadBytes(path), bytes);
  EXPECT_THAT(box.ErrorLog(), HasSubstr("#ERROR " + name + ": "));
  for (const auto& entry :
       std::filesystem::directory_iterator(std::filesystem::path(path).parent_path())) {
    EXPECT_NE(entry.path().filename().string()[0], '.') << "left behind: " << entry.path();
  }
}

TEST(WriteBack, AReadOnlyFileIsNotRewritten) {
  CliSandbox box;
  const std::string bytes = HarbourPhoto();
  const std::string path = box.dir().Write("work/p.jpg", bytes);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  const CliResult r = box.Run({"-c=Hi", "-co", "p.jpg"});
  ExpectUntouched(box, path, bytes, "p.jpg");
  EXPECT_THAT(box.ErrorLog(), HasSubstr("#ERROR p.jpg: file is read-only"));
}

TEST(WriteBack, AFolderThatCannotBeWrittenLeavesTheFileAsItWas) {
  CliSandbox box;
  const std::string bytes = HarbourPhoto();
  const std::string path = box.dir().Write("work/ro/p.jpg", bytes);
  std::vector<std::string> launcher;
  if (::geteuid() == 0) {
    // Root writes into any folder: the run drops to an ordinary user, who must reach the
    // sandbox and write the logs beside the binary.
    launcher = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    for (const std::string& dir : {box.dir().path(), box.work(), box.binDir()}) {
      ASSERT_EQ(::chmod(dir.c_str(), 0777), 0);
    }
    // The user's own photo: only the folder stands in the way.
    ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
  }
  ASSERT_EQ(::chmod((box.work() + "ro").c_str(), 0555), 0);
  box.Run({"-c=Hi", "ro/p.jpg"}, "", {}, launcher);
  ::chmod((box.work() + "ro").c_str(), 0755);
  ExpectUntouched(box, path, bytes, "ro/p.jpg");
  EXPECT_THAT(box.ErrorLog(), HasSubstr("cannot write in its folder"));
}

TEST(WriteBack, AWriteThatFailsPartWayLeavesTheFileAsItWas) {
  CliSandbox box;
  const std::string bytes = NoisyPhoto(256, 7);
  ASSERT_GT(bytes.size(), 40000u);
  const std::string path = box.dir().Write("work/p.jpg", bytes);
  // The limit lets the metadata through and stops the image data part-way.
  box.Run({"-c=Hi", "p.jpg"}, "", {}, {"/usr/bin/prlimit", "--fsize=24576", "--"});
  ExpectUntouched(box, path, bytes, "p.jpg");
  EXPECT_THAT(box.ErrorLog(), HasSubstr("File too large"));
}

TEST(WriteBack, AFileTheCodecCannotReadIsNotRewritten) {
  CliSandbox box;
  // Metadata and a scan, but no frame header: no JPEG decoder can read it.
  const std::string bytes = std::string("\xFF\xD8", 2) +
                            Segment(0xE1, std::string("Exif\0\0", 6) + HarbourExif()) +
                            Segment(0xDA, std::string("\x01\x01\x00\x00\x3F\x00", 6)) +
                            std::string(64, '\x55') + "\xFF\xD9";
  const std::string path = box.dir().Write("work/p.jpg", bytes);
  box.Run({"-co", "p.jpg"});
  ExpectUntouched(box, path, bytes, "p.jpg");
  EXPECT_THAT(box.ErrorLog(), HasSubstr("not a JPEG image that can be rewritten"));

  // A TIFF-family file is read, but never written.
  TiffBuilder tiff(false);
  tiff.Short(0, 0x0112, {6});
  const std::string tif = box.dir().Write("work/t.tif", tiff.Build());
  const std::string tifBytes = ReadBytes(tif);
  box.Run({"-co", "t.tif"});
  ExpectUntouched(box, tif, tifBytes, "t.tif");
}

TEST(WriteBack, PermissionsAreKeptAndALinkStillPointsAtTheRewrittenFile) {
  CliSandbox box;
  const std::string path = box.dir().Write("work/real/p.jpg", HarbourPhoto());
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  std::filesystem::create_symlink("real/p.jpg", box.work() + "link.jpg");
  box.Run({"-c=Linked", "link.jpg"});
  EXPECT_TRUE(std::filesystem::is_symlink(box.work() + "link.jpg"));
  EXPECT_EQ(std::filesystem::read_symlink(box.work() + "link.jpg"), "real/p.jpg");
  struct stat st{};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(SegmentsWith(SplitJpeg(ReadBytes(path)), 0xFE).at(0).substr(4), "Linked");
  EXPECT_EQ(box.ErrorLog(), "");
}

// Runs pixmeta as the user nobody (65534), who reaches the sandbox and writes the logs
// beside the binary; the work folder gets workMode.
std::vector<std::string> AsNobody(const CliSandbox& box, mode_t workMode) {
  for (const std::string& dir : {box.dir().path(), box.binDir()}) ::chmod(dir.c_str(), 0777);
  ::chmod(box.work().c_str(), workMode);
  return {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
}

constexpr const char* kTags = "user.xdg.tags";

TEST(WriteBack, AnOrdinaryUserRewritesOnlyPhotosTheUserMayWrite) {
  if (::geteuid() != 0 || !HaveTool("setpriv")) {
    GTEST_SKIP() << "needs root and setpriv (util-linux) to run pixmeta as another user";
  }
  struct Case {
    const char* what;
    mode_t folderMode;
    bool usersOwn;  // else root's
    mode_t photoMode;
    const char* error;  // none when the photo is rewritten
  };
  // Everyone may replace a file in these folders, but only its owner may write root's photo.
  // The user's own photo keeps its set-gid bit, which the user's write clears.
  const Case cases[] = {
      {"root's photo, shared folder", 0777, false, 0644, "permission denied"},
      {"root's photo, sticky folder", 01777, false, 0644, "permission denied"},
      {"root's read-only photo", 0777, false, 0444, "file is read-only"},
      {"the user's set-gid photo", 0777, true, 02770, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CliSandbox box;
    const std::vector<std::string> launcher = AsNobody(box, c.folderMode);
    const std::string bytes = HarbourPhoto();
    const std::string path = box.dir().Write("work/p.jpg", bytes);
    const bool tagged = ::setxattr(path.c_str(), kTags, "harbour", 7, 0) == 0;
    if (c.usersOwn) {
      ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(::chmod(path.c_str(), c.photoMode), 0);
    const CliResult r = box.Run({"-c=Hi", "p.jpg"}, "", {}, launcher);
    if (c.error != nullptr) {
      ExpectUntouched(box, path, bytes, "p.jpg");
      EXPECT_THAT(box.ErrorLog(), HasSubstr(std::string("#ERROR p.jpg: ") + c.error));
      continue;
    }
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(box.ErrorLog(), "");
    EXPECT_EQ(SegmentsWith(SplitJpeg(ReadBytes(path)), 0xFE).at(0).substr(4), "Hi");
    struct stat st{};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.photoMode);
    EXPECT_EQ(st.st_uid, 65534u);
    if (tagged) {
      char value[16] = {};
      EXPECT_EQ(::getxattr(path.c_str(), kTags, value, sizeof value), 7);
      EXPECT_STREQ(value, "harbour");
    }
  }
}

TEST(WriteBack, AnAttributeTheUserMayNotSetKeepsThePhotoAsItWas) {
  if (::geteuid() != 0 || !HaveTool("setpriv")) {
    GTEST_SKIP() << "needs root and setpriv (util-linux) to run pixmeta as another user";
  }
  CliSandbox box;
  const std::vector<std::string> launcher = AsNobody(box, 0777);
  const std::string bytes = HarbourPhoto();
  const std::string path = box.dir().Write("work/p.jpg", bytes);
  ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
  // A file capability (CAP_NET_BIND_SERVICE permitted): only root may set one.
  const std::string capability("\x00\x00\x00\x02\x00\x04\x00\x00\x00\x00\x00\x00"
                               "\x00\x00\x00\x00\x00\x00\x00\x00", 20);
  if (::setxattr(path.c_str(), "security.capability", capability.data(), capability.size(),
                 0) != 0) {
    GTEST_SKIP() << "cannot give a file a capability here: " << std::strerror(errno);
  }
  box.Run({"-c=Hi", "p.jpg"}, "", {}, launcher);
  ExpectUntouched(box, path, bytes, "p.jpg");
  EXPECT_THAT(box.ErrorLog(),
              HasSubstr("#ERROR p.jpg: cannot keep its extended attributes: "
                        "Operation not permitted"));
  EXPECT_GT(::getxattr(path.c_str(), "security.capability", nullptr, 0), 0);
}

TEST(WriteBack, AFileSystemWithoutExtendedAttributesIsNoObstacle) {
  // ramfs keeps neither extended attributes nor ACLs. The launcher mounts one (directly, or
  // in a user and mount namespace of its own), runs pixmeta on a set-gid photo there, and
  // copies the photo and the folder's names out.
  static constexpr const char* kScript = R"(
    mnt=$1 photo=$2 out=$3
    shift 3
    mount -t ramfs ramfs "$mnt" 2>/dev/null || exit 99
    cp "$photo" "$mnt/p.jpg" && chmod 2640 "$mnt/p.jpg" && "$@" "$mnt/p.jpg"
    rc=$?
    cp -p "$mnt/p.jpg" "$out" && ls -A "$mnt" >"$out.names"
    umount "$mnt"
    exit $rc
  )";
  CliSandbox box;
  const std::string mountPoint = box.dir().path() + "ram";
  std::filesystem::create_directories(mountPoint);
  const std::string photo = box.dir().Write("work/p.jpg", HarbourPhoto());
  const std::string out = box.work() + "out.jpg";
  std::optional<CliResult> r;
  for (const bool ownNamespace : {false, true}) {
    if (!ownNamespace && ::geteuid() != 0) continue;
    std::vector<std::string> launcher;
    if (ownNamespace) launcher = {"/usr/bin/unshare", "-rm"};
    for (const std::string& part :
         {std::string("/bin/sh"), std::string("-c"), std::string(kScript), std::string("sh"),
          mountPoint, photo, out}) {
      launcher.push_back(part);
    }
    r = box.Run({"-c=Hi"}, "", {}, launcher);
    if (r->exitCode != 99) break;
    r.reset();
  }
  if (!r) GTEST_SKIP() << "cannot mount a ramfs here (needs root or user namespaces)";
  EXPECT_EQ(r->exitCode, 0) << r->err;
  EXPECT_EQ(box.ErrorLog(), "");
  EXPECT_EQ(SegmentsWith(SplitJpeg(ReadBytes(out)), 0xFE).at(0).substr(4), "Hi");
  struct stat st{};
  ASSERT_EQ(::stat(out.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 02640u);
  EXPECT_EQ(ReadBytes(out + ".names"), "p.jpg\n");
}

TEST(WriteBack, AFileNamedTwiceIsEditedTwice) {
  // The second name is looked up, and the file opened, before the first edit replaces it.
  CliSandbox box;
  box.dir().Write("work/p.jpg", HarbourPhoto());
  const CliResult r = box.Run({"-q", "-ad=1", "p.jpg", "p.jpg"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_THAT(r.out, Not(HasSubstr("#ERROR")));
  EXPECT_THAT(box.Run({"-s", "p.jpg"}).out, HasSubstr("DateTimeOriginal=2011:07:16 21:42:05"));
}

// exiftool's short output for the file: "Tag: value" lines.
std::set<std::string> ExiftoolLines(const std::string& path, const std::string& tags) {
  const std::string command = "exiftool -a -S -m " + tags + " '" + path + "' 2>&1";
  std::set<std::string> lines;
  const std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), &::pclose);
  if (!pipe) return lines;
  std::string text;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) text.append(buffer, n);
  for (const std::string& line : SplitLines(text)) lines.insert(line);
  return lines;
}

std::set<std::string> Warnings(const std::string& path) {
  std::set<std::string> found;
  for (const std::string& line : ExiftoolLines(path, "-Warning -Error -Validate")) {
    if (line.starts_with("Warning") || line.starts_with("Error")) found.insert(line);
  }
  return found;
}

TEST(WriteBack, AnIndependentReaderReadsTheEditedValues) {
  if (std::system("exiftool -ver >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "exiftool is not installed (Debian package libimage-exiftool-perl)";
  }
  CliSandbox box;
  const std::string original = box.dir().Write("work/o.jpg", HarbourPhoto());
  const std::string path = box.dir().Write("work/p.jpg", HarbourPhoto());
  box.Run({"-ad=1", "-co", "-c=New comment", "-t=New caption", "-key=+,sunset", "-obj=Boats",
           "p.jpg"});
  box.Run({"--exifcomment=Home", "p.jpg"});
  ASSERT_EQ(box.ErrorLog(), "");
  const std::string tags =
      "-DateTimeOriginal -CreateDate -ModifyDate -Orientation -Comment -UserComment "
      "-Caption-Abstract -Keywords -ObjectName -City -Model";
  EXPECT_THAT(ExiftoolLines(path, tags),
              IsSupersetOf({"DateTimeOriginal: 2011:07:15 21:42:05",
                            "CreateDate: 2011:07:15 21:42:05", "ModifyDate: 2011:07:15 21:42:05",
                            "Orientation: Horizontal (normal)", "Comment: New comment",
                            "UserComment: Home", "Caption-Abstract: New caption",
                            "Keywords: harbour, boats, evening, sunset", "ObjectName: Boats",
                            "City: Stockholm", "Model: Canon PowerShot S95"}));
  const std::set<std::string> before = Warnings(original);
  for (const std::string& warning : Warnings(path)) {
    EXPECT_TRUE(before.contains(warning)) << "new: " << warning;
  }
}

}  // namespace
}  // namespace pixmeta::test
