#include "platform/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <algorithm>

#include "platform/code_page.h"

namespace pixmeta::platform {
namespace {

constexpr size_t kReadBlock = 1 << 16;

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
          static_cast<double>(st.st_mtim.tv_sec) + st.st_mtim.tv_nsec / 1e9};
}

bool MakeFolders(const std::string& path) {
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != kSeparator) continue;
    const std::string part = path.substr(0, i);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

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

InputFile::InputFile(InputFile&& other) noexcept
    : fd_(other.fd_),
      info_(other.info_),
      buffer_(std::move(other.buffer_)),
      filled_(other.filled_),
      pos_(other.pos_) {
  other.fd_ = -1;
}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    info_ = other.info_;
    buffer_ = std::move(other.buffer_);
    filled_ = other.filled_;
    pos_ = other.pos_;
    other.fd_ = -1;
  }
  return *this;
}

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool InputFile::Fill() {
  if (!buffer_) buffer_ = std::make_unique_for_overwrite<char[]>(kReadBlock);
  pos_ = 0;
  for (;;) {
    const ssize_t n = ::read(fd_, buffer_.get(), kReadBlock);
    if (n < 0 && errno == EINTR) continue;
    filled_ = n > 0 ? static_cast<size_t>(n) : 0;
    return n > 0;
  }
}

size_t InputFile::Read(char* dest, size_t count) {
  size_t done = 0;
  while (done < count) {
    if (pos_ >= filled_ && !Fill()) break;
    const size_t n = std::min(count - done, filled_ - pos_);
    std::memcpy(dest + done, buffer_.get() + pos_, n);
    pos_ += n;
    done += n;
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

std::optional<unsigned char> InputFile::ReadByte() {
  if (pos_ >= filled_ && !Fill()) return std::nullopt;
  return static_cast<unsigned char>(buffer_[pos_++]);
}

bool InputFile::Skip(uint64_t count) {
  const size_t buffered = filled_ - pos_;
  if (count <= buffered) {
    pos_ += static_cast<size_t>(count);
    return true;
  }
  const off_t here = ::lseek(fd_, 0, SEEK_CUR);
  if (here < 0) return false;
  return Seek(static_cast<uint64_t>(here) + (count - buffered));
}

bool InputFile::Seek(uint64_t offset) {
  if (offset > static_cast<uint64_t>(info_.size)) return false;
  if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) return false;
  filled_ = 0;
  pos_ = 0;
  return true;
}

bool InputFile::AtEnd() { return pos_ >= filled_ && !Fill(); }

bool WriteFile(const std::string& path, std::string_view bytes, std::string& errorText) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return Fail(errorText);
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      Fail(errorText);
      ::close(fd);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  if (::close(fd) != 0) return Fail(errorText);
  return true;
}

bool SaveLines(const std::string& path, std::span<const std::string> lines,
               std::string& errorText) {
  std::string text;
  for (const std::string& line : lines) {
    text += ToOutputUtf8(line);
    text += "\r\n";
  }
  return WriteFile(path, text, errorText);
}

bool DeleteFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

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

}  // namespace pixmeta::platform
