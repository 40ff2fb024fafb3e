#include "platform/rewritten_file.h"

#include <acl/libacl.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "fixtures/temp_dir.h"

namespace pixmeta::platform {
namespace {

using test::ReadBytes;
using test::TempDir;

using Acl = std::unique_ptr<std::remove_pointer_t<acl_t>, int (*)(void*)>;

// The file's access ACL as text, with numeric ids; empty when it cannot be read.
std::string AclText(const std::string& path) {
  const Acl acl(::acl_get_file(path.c_str(), ACL_TYPE_ACCESS), &::acl_free);
  if (!acl) return {};
  const std::unique_ptr<char, int (*)(void*)> text(
      ::acl_to_any_text(acl.get(), nullptr, ',', TEXT_NUMERIC_IDS), &::acl_free);
  return text ? std::string(text.get()) : std::string();
}

std::optional<std::string> Attribute(const std::string& path, const std::string& name) {
  std::string value(1024, '\0');
  const ssize_t n = ::getxattr(path.c_str(), name.c_str(), value.data(), value.size());
  if (n < 0) return std::nullopt;
  value.resize(static_cast<size_t>(n));
  return value;
}

bool Rewrite(const std::string& path, std::string_view content, std::string& error) {
  std::optional<InputFile> source = InputFile::Open(path);
  if (!source) return false;
  std::optional<RewrittenFile> file = RewrittenFile::Begin(path, *source, error);
  return file && file->Write(content) && file->Commit(*source, error);
}

TEST(RewrittenFile, KeepsExtendedAttributesAclAndTheWholeMode) {
  // Tags and comments as file managers keep them, and bytes that are no text.
  const std::vector<std::pair<std::string, std::string>> attributes = {
      {"user.xdg.tags", "harbour,evening"},
      {"user.xdg.comment", "Boats at dusk"},
      {"user.checksum", std::string("\x00\xFF\x10\x00\x7F", 5)},
  };
  // The set-id and sticky bits are no part of an ACL; the group bits are its mask.
  for (const mode_t mode : {03660, 06750, 01604}) {
    SCOPED_TRACE("mode " + std::to_string(mode));
    TempDir dir;
    const std::string path = dir.Write("p.jpg", "old content");
    if (::setxattr(path.c_str(), "user.probe", "1", 1, 0) != 0) {
      GTEST_SKIP() << "the file system of " << dir.path()
                   << " keeps no user extended attributes: " << std::strerror(errno);
    }
    ASSERT_EQ(::removexattr(path.c_str(), "user.probe"), 0);
    for (const auto& [name, value] : attributes) {
      ASSERT_EQ(::setxattr(path.c_str(), name.c_str(), value.data(), value.size(), 0), 0);
    }
    const Acl acl(::acl_from_text("u::rw-,u:65534:rw-,g::r--,m::rw-,o::---"), &::acl_free);
    ASSERT_TRUE(acl);
    if (::acl_set_file(path.c_str(), ACL_TYPE_ACCESS, acl.get()) != 0) {
      GTEST_SKIP() << "the file system of " << dir.path()
                   << " keeps no ACLs: " << std::strerror(errno);
    }
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    const std::string aclBefore = AclText(path);
    ASSERT_NE(aclBefore.find("user:65534:rw-"), std::string::npos) << aclBefore;

    std::string error;
    ASSERT_TRUE(Rewrite(path, "new content", error)) << error;
    EXPECT_EQ(ReadBytes(path), "new content");
    for (const auto& [name, value] : attributes) EXPECT_EQ(Attribute(path, name), value) << name;
    EXPECT_EQ(AclText(path), aclBefore);
    struct stat st{};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, mode);
  }
}

}  // namespace
}  // namespace pixmeta::platform
