#include "platform/rewritten_file.h"

#include <acl/libacl.h>
#include <attr/error_context.h>
#include <attr/libattr.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

namespace pixmeta::platform {
namespace {

constexpr size_t kCopyPiece = 256 << 10;

std::string ErrorText(std::string_view what, int error) {
  std::string text(what);
  text += ": ";
  text += std::strerror(error);
  return text;
}

// The file a path names, symbolic links resolved; the path itself when it has none.
std::string RealTarget(const std::string& path) {
  struct stat st{};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr),
                                                        &std::free);
  return real ? std::string(real.get()) : path;
}

// Why the file under target is no longer the one that info describes; empty when it is.
std::string ChangeSince(const std::string& target, int fd, const FileInfo& info) {
  struct stat now{};
  if (::stat(target.c_str(), &now) != 0) return "file vanished since it was read";
  struct stat opened{};
  const bool same = ::fstat(fd, &opened) == 0 && static_cast<uint64_t>(now.st_dev) == info.device &&
                    static_cast<uint64_t>(now.st_ino) == info.inode &&
                    static_cast<int64_t>(opened.st_size) == info.size &&
                    static_cast<int64_t>(opened.st_mtim.tv_sec) * 1'000'000'000 +
                            opened.st_mtim.tv_nsec == info.modifiedNanos;
  return same ? std::string() : "file changed since it was read";
}

bool WriteAll(int fd, const char* data, size_t count) {
  while (count > 0) {
    const ssize_t n = ::write(fd, data, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    data += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

// Collects what libattr and libacl report while they copy.
struct LibraryErrors {
  error_context context{&Report, nullptr, nullptr};
  int first = 0;  // the first error reported
  bool allUnsupported = true;

  // Why a copy failed.
  int Cause() const { return first != 0 ? first : EIO; }
  // Every error said that the file system keeps no such data.
  bool OnlyUnsupported() const { return first != 0 && allUnsupported; }

  // They set errno to the failure's cause before they report it.
  static void Report(error_context* context, const char*, ...) {
    const int error = errno;
    auto* self = reinterpret_cast<LibraryErrors*>(context);  // context is the first member
    if (self->first == 0) self->first = error;
    if (error != ENOTSUP && error != ENOSYS) self->allUnsupported = false;
  }
};

// Gives the new file what the original has besides its content: owner and group where
// the process may set them, extended attributes, ACL and mode; returns why not when it
// cannot. It runs after the content is written, because a write clears the set-id bits.
std::string KeepAttributes(int from, const std::string& fromPath, int to,
                           const std::string& toPath) {
  struct stat st{};
  if (::fstat(from, &st) != 0) return ErrorText("cannot read its attributes", errno);
  // Owner and group first: a change of owner clears the set-id bits that the mode then
  // restores.
  if (::fchown(to, st.st_uid, st.st_gid) != 0 &&
      ::fchown(to, static_cast<uid_t>(-1), st.st_gid) != 0) {
    // Refused to an ordinary user: the file belongs to the user who rewrote it, as any
    // file the user writes.
  }
  // An attribute that cannot be kept refuses the rewrite: the tags and comments that file
  // managers keep there must not be lost without a word. A file system that keeps none is
  // no reason to refuse. The default check leaves the ACL to perm_copy_fd.
  LibraryErrors attributes;
  if (::attr_copy_fd(fromPath.c_str(), from, toPath.c_str(), to, nullptr,
                     &attributes.context) != 0 &&
      !attributes.OnlyUnsupported()) {
    return ErrorText("cannot keep its extended attributes", attributes.Cause());
  }
  LibraryErrors permissions;
  if (::perm_copy_fd(fromPath.c_str(), from, toPath.c_str(), to, &permissions.context) != 0) {
    return ErrorText("cannot keep its permissions", permissions.Cause());
  }
  // An ACL carries only the permission bits: set-id and sticky bits come with the mode.
  if (::fchmod(to, st.st_mode & 07777) != 0) return ErrorText("cannot keep its permissions", errno);
  return {};
}

void SyncFolderOf(const std::string& path) {
  const size_t slash = path.rfind(kSeparator);
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

void IgnoreFileSizeSignal() { std::signal(SIGXFSZ, SIG_IGN); }

std::optional<RewrittenFile> RewrittenFile::Begin(const std::string& path,
                                                  const InputFile& source,
                                                  std::string& errorText) {
  std::string target = RealTarget(path);
  errorText = ChangeSince(target, source.fd_, source.info_);
  if (!errorText.empty()) return std::nullopt;
  struct stat st{};
  if (::fstat(source.fd_, &st) != 0) {
    errorText = ErrorText("cannot read its attributes", errno);
    return std::nullopt;
  }
  // Its owner made it read-only: that is kept, whoever runs the program.
  if ((st.st_mode & S_IWUSR) == 0) {
    errorText = "file is read-only";
    return std::nullopt;
  }
  // A folder that lets the user replace a file (such as /tmp) is no permission to change
  // a file the user may not write. The name leads to the file that was read: checked above.
  if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
    errorText = errno == EACCES ? "permission denied" : ErrorText("cannot write it", errno);
    return std::nullopt;
  }
  const size_t slash = target.rfind(kSeparator);
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  // Hidden, so that no file search lists it, and unique to this process.
  const std::string stem =
      folder + "." + target.substr(folder.size()) + ".pixmeta-" + std::to_string(::getpid()) + ".";
  for (int attempt = 0;; ++attempt) {
    std::string temporary = stem + std::to_string(attempt);
    RemovedWhenStopped removal(temporary);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
      return RewrittenFile(fd, std::move(target), std::move(temporary), std::move(removal));
    }
    if (errno != EEXIST || attempt >= 100) {
      errorText = ErrorText("cannot write in its folder", errno);
      return std::nullopt;
    }
  }
}

RewrittenFile::RewrittenFile(int fd, std::string target, std::string temporary,
                             RemovedWhenStopped removal)
    : fd_(fd),
      target_(std::move(target)),
      temporary_(std::move(temporary)),
      removal_(std::move(removal)) {}

RewrittenFile::RewrittenFile(RewrittenFile&& other) noexcept
    : fd_(other.fd_),
      error_(other.error_),
      target_(std::move(other.target_)),
      temporary_(std::move(other.temporary_)),
      removal_(std::move(other.removal_)) {
  other.fd_ = -1;
  other.temporary_.clear();
}

RewrittenFile::~RewrittenFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

void RewrittenFile::Remember(int error) {
  if (error_ == 0) error_ = error != 0 ? error : EIO;
}

bool RewrittenFile::Write(std::string_view bytes) {
  if (error_ == 0 && !WriteAll(fd_, bytes.data(), bytes.size())) Remember(errno);
  return error_ == 0;
}

bool RewrittenFile::CopyFrom(const InputFile& source, uint64_t offset, uint64_t count) {
  if (error_ != 0) return false;
  auto from = static_cast<off_t>(offset);
  while (count > 0) {
    const ssize_t n = ::copy_file_range(source.fd_, &from, fd_, nullptr, count, 0);
    if (n > 0) {
      count -= static_cast<uint64_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
                  errno == EPERM)) {
      // File systems or kernels that cannot copy between these files.
      return CopyByReading(source.fd_, static_cast<uint64_t>(from), count);
    }
    // The source ended early: it was cut since it was read.
    Remember(n == 0 ? ENODATA : errno);
    return false;
  }
  return true;
}

bool RewrittenFile::CopyByReading(int from, uint64_t offset, uint64_t count) {
  const auto piece = std::make_unique<char[]>(kCopyPiece);
  while (count > 0) {
    const size_t want = count < kCopyPiece ? static_cast<size_t>(count) : kCopyPiece;
    const ssize_t n = ::pread(from, piece.get(), want, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      Remember(n == 0 ? ENODATA : errno);
      return false;
    }
    if (!WriteAll(fd_, piece.get(), static_cast<size_t>(n))) {
      Remember(errno);
      return false;
    }
    offset += static_cast<uint64_t>(n);
    count -= static_cast<uint64_t>(n);
  }
  return true;
}

bool RewrittenFile::Commit(const InputFile& source, std::string& errorText) {
  if (error_ == 0) {
    errorText = KeepAttributes(source.fd_, target_, fd_, temporary_);
    if (!errorText.empty()) return false;
  }
  if (error_ == 0 && ::fsync(fd_) != 0) Remember(errno);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) Remember(errno);
  if (error_ != 0) {
    errorText = ErrorText("writing failed", error_);
    return false;
  }
  errorText = ChangeSince(target_, source.fd_, source.info_);
  if (!errorText.empty()) return false;
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
    errorText = ErrorText("cannot replace it", errno);
    return false;
  }
  temporary_.clear();
  removal_.Release();
  // The rename itself reaches the disk only with the folder.
  SyncFolderOf(target_);
  return true;
}

}  // namespace pixmeta::platform
