// Files: existence, size and times, reading, saving text, and where the program lives.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/byte_buffer.h"
#include "platform/stop_signals.h"

namespace pixmeta::platform {

inline constexpr char kSeparator = '/';
// What follows the base name of a program file: nothing on POSIX.
inline constexpr std::string_view kProgramExtension = "";

struct FileInfo {
  int64_t size = 0;
  double modifiedUnix = 0;  // last-write time, seconds since 1970-01-01 UTC
  // Which file it is and its exact last-write time, to tell whether it changed since.
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t modifiedNanos = 0;
};

// Size and last-write time of a regular file.
std::optional<FileInfo> StatFile(const std::string& path);

// A file opened for reading, closed when the object goes. Its first bytes (the header that
// the size probe and the container read) are kept in one buffer as they are read, in large
// pieces, so every reader of them reads the same bytes without another system call and
// the container can view its segments there. Reads beyond the kept head go through a
// small window, so a search for a value far into a large file keeps little of it.
class InputFile {
 public:
  enum class Failure { None, Missing, Unreadable };

  // The head keeps at most this many bytes: more than twenty JPEG segments of 64 KiB and
  // the block of a TIFF-family file.
  static constexpr size_t kHeadLimit = 3 << 19;

  // Opens a regular file (links followed). Empty when there is none under the path (failure
  // Missing; a folder or a device counts as none) or when it cannot be opened (Unreadable,
  // and errorText says why).
  static std::optional<InputFile> Open(const std::string& path, Failure* failure = nullptr,
                                       std::string* errorText = nullptr);

  // Bytes held in memory, read as a file that holds them; info is the file they stand for.
  static InputFile InMemory(std::string_view bytes, const FileInfo& info);

  // Size and last-write time of the file when it was opened.
  const FileInfo& Info() const { return info_; }

  InputFile(InputFile&& other) noexcept;
  InputFile& operator=(InputFile&& other) noexcept;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();

  // Reads up to count bytes into dest; returns how many were read (fewer only at the end).
  size_t Read(char* dest, size_t count);
  // Appends up to count bytes to out; returns how many were appended.
  size_t ReadInto(std::string& out, size_t count);
  // One byte, or none at the end of the file.
  std::optional<unsigned char> ReadByte() {
    if (pos_ < head_.size()) return static_cast<unsigned char>(head_.data()[pos_++]);
    return ReadByteSlowly();
  }
  // Moves forward by count bytes; false when that passes the end of the file.
  bool Skip(uint64_t count);
  // Moves to an absolute offset; false when it lies past the end of the file. Moving back
  // into the head (to the start, say) reads nothing again.
  bool Seek(uint64_t offset);
  bool AtEnd();

  // The read position.
  uint64_t Position() const { return pos_; }
  // Moves on by count bytes that are then kept in the head, reading them where needed; how
  // far it moved (less at the end of the file or of the head's reach, none when the
  // position lies past the head). Their bytes are Head()'s from the old position.
  size_t ReadIntoHead(size_t count);
  // The bytes kept from offset 0; the view lasts until the head grows.
  std::string_view Head() const { return head_.view(); }
  // Hands the kept head over, as far as it was read; the file reads it again if asked.
  ByteBuffer ReleaseHead();

  // Waits for the exclusive lock that runs of this program take on a file they rewrite;
  // it lasts until the file is closed. False when the file system keeps no such locks.
  bool LockForRewrite();

 private:
  friend class RewrittenFile;
  explicit InputFile(int fd);
  std::optional<unsigned char> ReadByteSlowly();
  // Reads more of the file onto the head, at least want bytes where the file has them;
  // false when nothing more could be read.
  bool GrowHead(size_t want);
  // Reads the window at the position; false at the end of the file.
  bool FillWindow();
  size_t PRead(char* dest, size_t count, uint64_t offset) const;

  int fd_ = -1;
  FileInfo info_;
  ByteBuffer head_;   // the file's bytes from offset 0
  uint64_t pos_ = 0;  // the read position
  std::unique_ptr<char[]> window_;  // bytes past the head, from windowStart_
  uint64_t windowStart_ = 0;
  size_t windowFilled_ = 0;
};

// A file opened for reading once per file, for every reader of it; when it could not be
// opened, failure says why (Missing when there is no regular file under the path).
struct OpenedFile {
  std::optional<InputFile> file;
  InputFile::Failure failure = InputFile::Failure::None;
  std::string reason;
};
OpenedFile OpenForReading(const std::string& path);

// The file under the path, opened and locked for a rewrite, so that two runs that edit it
// at once take turns and the second reads what the first wrote. opened is the file as it
// was opened before; while it waited for the lock, another run may have put its new file
// in its place, which is then opened and locked instead. Where the file system keeps no
// locks, the file is used unlocked.
OpenedFile OpenForRewrite(const std::string& path, OpenedFile opened);

// A new file that replaces its target only when it is complete: it is written under a
// hidden temporary name in the target's folder and renamed over the target by Commit. So
// the target always holds either its old content or the whole new one, whatever happens to
// the run, and a second run at the same time never mixes its text into it. Without Commit,
// or when a stop signal ends the run, the temporary file is removed.
class ReplacingFile {
 public:
  // None, with errorText, when the folder cannot take a new file.
  static std::optional<ReplacingFile> Create(const std::string& target, std::string& errorText);

  ReplacingFile(ReplacingFile&& other) noexcept;
  ReplacingFile& operator=(ReplacingFile&& other) noexcept;
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;
  ~ReplacingFile();

  // False once anything could not be written; errorText says why at Commit.
  bool Write(std::string_view bytes);
  // Closes the file and puts it in the target's place; false with errorText on failure.
  bool Commit(std::string& errorText);

 private:
  ReplacingFile(int fd, std::string target, std::string temporary, RemovedWhenStopped removal);

  int fd_ = -1;
  int error_ = 0;  // the first write error
  std::string target_;
  std::string temporary_;
  RemovedWhenStopped removal_;
};

// A temporary file without a name (it vanishes with the process), for text that is kept
// out of memory until it is written out.
class SpillFile {
 public:
  static std::optional<SpillFile> Create();

  SpillFile(SpillFile&& other) noexcept;
  SpillFile& operator=(SpillFile&&) = delete;
  SpillFile(const SpillFile&) = delete;
  SpillFile& operator=(const SpillFile&) = delete;
  ~SpillFile();

  // Appends all bytes or, when that fails, leaves the file as it was and returns false.
  bool Append(std::string_view bytes);
  uint64_t Size() const { return size_; }
  // Reads up to count bytes from offset; how many were read.
  size_t ReadAt(uint64_t offset, char* dest, size_t count) const;

 private:
  explicit SpillFile(int fd) : fd_(fd) {}

  int fd_ = -1;
  uint64_t size_ = 0;
};

// The path made absolute against the current folder, with "." and ".." resolved by name
// (links are not followed); the path itself when the current folder cannot be read.
std::string AbsolutePath(const std::string& path);

// Sets the last-write time (seconds since 1970-01-01 UTC) and, when given, the last-access
// time. Linux keeps no creation time that could be set.
bool SetFileTimes(const std::string& path, std::optional<double> accessedUnix,
                  std::optional<double> modifiedUnix, std::string& errorText);

// The folder of the running executable (ending in a separator) and its file name.
struct ExecutablePath {
  std::string folder;
  std::string fileName;
};
ExecutablePath RunningExecutable();

// Creates the folder and the folders above it that are missing (new ones for the user
// alone); false when it is not a folder afterwards.
bool MakeFolders(const std::string& path);

// The per-user data folder ($XDG_DATA_HOME, by default ~/.local/share), ending in a
// separator; none when neither is set. It is not created here.
std::optional<std::string> UserDataHome();

// The per-user folder for the program's state files ($XDG_STATE_HOME/pixmeta/, by default
// ~/.local/state/pixmeta/), created when missing; none when it cannot be made.
std::optional<std::string> UserStateFolder();

}  // namespace pixmeta::platform
