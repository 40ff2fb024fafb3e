#include "platform/file_system.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/code_page.h"

namespace pixmeta::platform {
namespace {

constexpr size_t kFirstPiece = 16 << 10;
constexpr size_t kLaterPiece = 4 << 10;

bool Fail(std::string& errorText) {
  errorText = std::strerror(errno);
  return false;
}

timespec ToTimespec(double unixSeconds) {
  const double whole = std::floor(unixSeconds);
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(whole);
  ts.tv_nsec = static_cast<long>(std::lround((unixSeconds - whole) * 1e9));
  if (ts.tv_nsec >= 1'000'000'000) {
    ts.tv_nsec -= 1'000'000'000;
    ++ts.tv_sec;
  }
  return ts;
}

FileInfo InfoOf(const struct stat& st) {
  return {static_cast<int64_t>(st.st_size),
          static_cast<double>(st.st_mtim.tv_sec) + st.st_mtim.tv_nsec / 1e9,
          static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
          static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

// Reads count bytes at offset, or as many as the file has there; returns how many.
size_t ReadFully(int fd, char* dest, size_t count, uint64_t offset) {
  size_t done = 0;
  while (done < count) {
    const ssize_t n = ::pread(fd, dest + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

}  // namespace

bool MakeFolders(const std::string& path) {
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != kSeparator) continue;
    const std::string part = path.substr(0, i);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<FileInfo> StatFile(const std::string& path) {
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return InfoOf(st);
}

std::optional<InputFile> InputFile::Open(const std::string& path, Failure* failure,
                                         std::string* errorText) {
  const auto fail = [&](Failure why, int error) -> std::optional<InputFile> {
    if (failure != nullptr) *failure = why;
    if (errorText != nullptr) *errorText = std::strerror(error);
    return std::nullopt;
  };
  // Non-blocking, so that a FIFO under the name cannot hold the open; the type check below
  // turns it away, and regular files ignore the flag.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    const int error = errno;
    return fail(error == ENOENT || error == ENOTDIR ? Failure::Missing : Failure::Unreadable,
                error);
  }
  InputFile file(fd);
  struct stat st{};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return fail(Failure::Missing, ENOENT);
  file.info_ = InfoOf(st);
  if (failure != nullptr) *failure = Failure::None;
  return file;
}

InputFile::InputFile(int fd) : fd_(fd) {}

InputFile InputFile::InMemory(std::string_view bytes, const FileInfo& info) {
  InputFile file(-1);
  file.info_ = info;
  file.info_.size = static_cast<int64_t>(bytes.size());
  file.head_.Append(bytes);
  return file;
}

OpenedFile OpenForReading(const std::string& path) {
  OpenedFile opened;
  opened.file = InputFile::Open(path, &opened.failure, &opened.reason);
  return opened;
}

OpenedFile OpenForRewrite(const std::string& path, OpenedFile opened) {
  while (opened.file && opened.file->LockForRewrite()) {
    struct stat now{};
    // Vanished or replaced by anything but a file: the load and the rewrite report it.
    if (::stat(path.c_str(), &now) != 0 || !S_ISREG(now.st_mode)) break;
    const FileInfo& info = opened.file->Info();
    if (static_cast<uint64_t>(now.st_dev) == info.device &&
        static_cast<uint64_t>(now.st_ino) == info.inode) {
      break;
    }
    opened = OpenForReading(path);
  }
  return opened;
}

bool InputFile::LockForRewrite() {
  for (;;) {
    if (::flock(fd_, LOCK_EX) == 0) return true;
    // ENOLCK, EOPNOTSUPP, or EBADF where a network file system maps the lock onto a
    // record lock that a file opened for reading cannot take.
    if (errno != EINTR) return false;
  }
}

InputFile::InputFile(InputFile&& other) noexcept
    : fd_(other.fd_),
      info_(other.info_),
      head_(std::move(other.head_)),
      pos_(other.pos_),
      window_(std::move(other.window_)),
      windowStart_(other.windowStart_),
      windowFilled_(other.windowFilled_) {
  other.fd_ = -1;
}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    info_ = other.info_;
    head_ = std::move(other.head_);
    pos_ = other.pos_;
    window_ = std::move(other.window_);
    windowStart_ = other.windowStart_;
    windowFilled_ = other.windowFilled_;
    other.fd_ = -1;
  }
  return *this;
}

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

size_t InputFile::PRead(char* dest, size_t count, uint64_t offset) const {
  return ReadFully(fd_, dest, count, offset);
}

bool InputFile::GrowHead(size_t want) {
  // The first piece holds the usual header; later ones what is asked for, or a little more
  // for the markers that follow.
  const size_t room = kHeadLimit - head_.size();
  if (room == 0) return false;
  const size_t piece = std::min(room, std::max(want, head_.empty() ? kFirstPiece : kLaterPiece));
  char* out = head_.Room(piece);
  const size_t n = PRead(out, piece, head_.size());
  head_.End(out + n);
  return n > 0;
}

bool InputFile::FillWindow() {
  if (!window_) window_ = std::make_unique_for_overwrite<char[]>(kLaterPiece);
  windowStart_ = pos_;
  windowFilled_ = PRead(window_.get(), kLaterPiece, pos_);
  return windowFilled_ > 0;
}

size_t InputFile::Read(char* dest, size_t count) {
  size_t done = 0;
  while (done < count) {
    if (pos_ < head_.size()) {
      const size_t n = std::min<uint64_t>(count - done, head_.size() - pos_);
      std::memcpy(dest + done, head_.data() + pos_, n);
      pos_ += n;
      done += n;
    } else if (pos_ == head_.size() && GrowHead(count - done)) {
      continue;
    } else if (pos_ >= windowStart_ && pos_ < windowStart_ + windowFilled_) {
      const size_t at = static_cast<size_t>(pos_ - windowStart_);
      const size_t n = std::min(count - done, windowFilled_ - at);
      std::memcpy(dest + done, window_.get() + at, n);
      pos_ += n;
      done += n;
    } else if (!FillWindow()) {
      break;
    }
  }
  return done;
}

size_t InputFile::ReadInto(std::string& out, size_t count) {
  const size_t old = out.size();
  out.resize(old + count);
  const size_t n = Read(out.data() + old, count);
  out.resize(old + n);
  return n;
}

std::optional<unsigned char> InputFile::ReadByteSlowly() {
  char byte = 0;
  if (Read(&byte, 1) != 1) return std::nullopt;
  return static_cast<unsigned char>(byte);
}

bool InputFile::Skip(uint64_t count) { return Seek(pos_ + count); }

bool InputFile::Seek(uint64_t offset) {
  if (offset > static_cast<uint64_t>(info_.size)) return false;
  // A place within the head's reach is read into it: a probe that skips a segment is
  // followed by a container that reads it.
  if (offset > head_.size() && offset <= kHeadLimit && pos_ <= head_.size()) {
    while (head_.size() < offset && GrowHead(static_cast<size_t>(offset - head_.size()))) {
    }
  }
  pos_ = offset;
  return true;
}

bool InputFile::AtEnd() { return pos_ >= static_cast<uint64_t>(info_.size); }

size_t InputFile::ReadIntoHead(size_t count) {
  if (pos_ > head_.size()) return 0;
  const uint64_t end = pos_ + count;
  while (head_.size() < end && GrowHead(static_cast<size_t>(end - head_.size()))) {
  }
  const uint64_t reached = std::min<uint64_t>(end, head_.size());
  const auto moved = static_cast<size_t>(reached - pos_);
  pos_ = reached;
  return moved;
}

ByteBuffer InputFile::ReleaseHead() {
  ByteBuffer head = std::move(head_);
  head_ = ByteBuffer();
  return head;
}

namespace {

bool WriteAll(int fd, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::optional<ReplacingFile> ReplacingFile::Create(const std::string& target,
                                                   std::string& errorText) {
  const size_t slash = target.rfind(kSeparator);
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string name = target.substr(folder.size());
  // Hidden, so that no file search lists it, and unique to this process.
  const std::string stem = folder + "." + name + "." + std::to_string(::getpid()) + ".";
  for (int attempt = 0;; ++attempt) {
    std::string temporary = stem + std::to_string(attempt);
    RemovedWhenStopped removal(temporary);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return ReplacingFile(fd, target, std::move(temporary), std::move(removal));
    if (errno != EEXIST || attempt >= 100) {
      Fail(errorText);
      return std::nullopt;
    }
  }
}

ReplacingFile::ReplacingFile(int fd, std::string target, std::string temporary,
                             RemovedWhenStopped removal)
    : fd_(fd),
      target_(std::move(target)),
      temporary_(std::move(temporary)),
      removal_(std::move(removal)) {}

ReplacingFile::ReplacingFile(ReplacingFile&& other) noexcept
    : fd_(other.fd_),
      error_(other.error_),
      target_(std::move(other.target_)),
      temporary_(std::move(other.temporary_)),
      removal_(std::move(other.removal_)) {
  other.fd_ = -1;
  other.temporary_.clear();
}

ReplacingFile& ReplacingFile::operator=(ReplacingFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    fd_ = other.fd_;
    error_ = other.error_;
    target_ = std::move(other.target_);
    temporary_ = std::move(other.temporary_);
    removal_ = std::move(other.removal_);
    other.fd_ = -1;
    other.temporary_.clear();
  }
  return *this;
}

ReplacingFile::~ReplacingFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

bool ReplacingFile::Write(std::string_view bytes) {
  if (error_ == 0 && !WriteAll(fd_, bytes)) error_ = errno != 0 ? errno : EIO;
  return error_ == 0;
}

bool ReplacingFile::Commit(std::string& errorText) {
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 && error_ == 0) error_ = errno;
  if (error_ == 0 && ::rename(temporary_.c_str(), target_.c_str()) != 0) error_ = errno;
  if (error_ != 0) {
    errorText = std::strerror(error_);
    return false;
  }
  temporary_.clear();
  removal_.Release();
  return true;
}

std::optional<SpillFile> SpillFile::Create() {
  const char* tmp = std::getenv("TMPDIR");
  const std::string folder = tmp != nullptr && *tmp == '/' ? tmp : "/tmp";
  int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) {
    // File systems without unnamed files: a named one, unlinked at once.
    std::string path = folder + "/pixmeta-spill-XXXXXX";
    fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    ::unlink(path.c_str());
  }
  return SpillFile(fd);
}

SpillFile::SpillFile(SpillFile&& other) noexcept : fd_(other.fd_), size_(other.size_) {
  other.fd_ = -1;
}

SpillFile::~SpillFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool SpillFile::Append(std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done,
                               static_cast<off_t>(size_ + done));
    if (n < 0 && errno == EINTR) continue;
    // What a failed append wrote lies past Size, where no read looks and the next append
    // writes again.
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  size_ += bytes.size();
  return true;
}

size_t SpillFile::ReadAt(uint64_t offset, char* dest, size_t count) const {
  return ReadFully(fd_, dest, count, offset);
}

std::string AbsolutePath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  if (error) return path;
  return absolute.lexically_normal().string();
}

bool SetFileTimes(const std::string& path, std::optional<double> accessedUnix,
                  std::optional<double> modifiedUnix, std::string& errorText) {
  timespec times[2];
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_nsec = UTIME_OMIT;
  if (accessedUnix) times[0] = ToTimespec(*accessedUnix);
  if (modifiedUnix) times[1] = ToTimespec(*modifiedUnix);
  if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) return Fail(errorText);
  return true;
}

ExecutablePath RunningExecutable() {
  std::string path(PATH_MAX, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
  path.resize(n > 0 ? static_cast<size_t>(n) : 0);
  const size_t slash = path.rfind(kSeparator);
  if (slash == std::string::npos) return {"./", path};
  return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

std::optional<std::string> UserStateFolder() {
  std::string folder;
  if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && *state == '/') {
    folder = state;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    folder = std::string(home) + "/.local/state";
  } else {
    return std::nullopt;
  }
  folder += "/pixmeta";
  if (!MakeFolders(folder)) return std::nullopt;
  return folder + kSeparator;
}

std::optional<std::string> UserDataHome() {
  // A relative XDG_DATA_HOME is ignored, as the XDG rules ask.
  if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && *data == '/') {
    std::string folder(data);
    while (folder.ends_with(kSeparator)) folder.pop_back();
    return folder + kSeparator;
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    return std::string(home) + "/.local/share/";
  }
  return std::nullopt;
}

}  // namespace pixmeta::platform
