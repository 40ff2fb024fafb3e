// Files: existence, size and times, reading, saving text, and where the program lives.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace pixmeta::platform {

inline constexpr char kSeparator = '/';

struct FileInfo {
  int64_t size = 0;
  double modifiedUnix = 0;  // last-write time, seconds since 1970-01-01 UTC
};

// Size and last-write time of a regular file.
std::optional<FileInfo> StatFile(const std::string& path);

// A file opened for reading, closed when the object goes. Reads are buffered, so reading a
// header byte by byte costs no system calls.
class InputFile {
 public:
  enum class Failure { None, Missing, Unreadable };

  // Opens a regular file (links followed). Empty when there is none under the path (failure
  // Missing; a folder or a device counts as none) or when it cannot be opened (Unreadable,
  // and errorText says why).
  static std::optional<InputFile> Open(const std::string& path, Failure* failure = nullptr,
                                       std::string* errorText = nullptr);

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
  std::optional<unsigned char> ReadByte();
  // Moves forward by count bytes; false when that passes the end of the file.
  bool Skip(uint64_t count);
  // Moves to an absolute offset; false when it lies past the end of the file. Moving back
  // within what was read last (to the start, say) reads nothing again.
  bool Seek(uint64_t offset);
  bool AtEnd();

 private:
  explicit InputFile(int fd);
  bool Fill();

  int fd_ = -1;
  FileInfo info_;
  std::unique_ptr<char[]> buffer_;  // allocated on the first read, never zero-filled
  uint64_t bufferStart_ = 0;        // the file offset of the buffer's first byte
  size_t filled_ = 0;
  size_t pos_ = 0;
};

// A file opened for reading once per file, for every reader of it; when it could not be
// opened, failure says why (Missing when there is no regular file under the path).
struct OpenedFile {
  std::optional<InputFile> file;
  InputFile::Failure failure = InputFile::Failure::None;
  std::string reason;
};
OpenedFile OpenForReading(const std::string& path);

// A new file that replaces its target only when it is complete: it is written under a
// hidden temporary name in the target's folder and renamed over the target by Commit. So
// the target always holds either its old content or the whole new one, whatever happens to
// the run, and a second run at the same time never mixes its text into it. Without Commit
// the temporary file is removed.
class ReplacingFile {
 public:
  // None, with errorText, when the folder cannot take a new file.
  static std::optional<ReplacingFile> Create(const std::string& target, std::string& errorText);

  ReplacingFile(ReplacingFile&& other) noexcept;
  ReplacingFile& operator=(ReplacingFile&&) = delete;
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;
  ~ReplacingFile();

  // False once anything could not be written; errorText says why at Commit.
  bool Write(std::string_view bytes);
  // Closes the file and puts it in the target's place; false with errorText on failure.
  bool Commit(std::string& errorText);

 private:
  ReplacingFile(int fd, std::string target, std::string temporary);

  int fd_ = -1;
  int error_ = 0;  // the first write error
  std::string target_;
  std::string temporary_;
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

// The per-user folder for the program's state files ($XDG_STATE_HOME/pixmeta/, by default
// ~/.local/state/pixmeta/), created when missing; none when it cannot be made.
std::optional<std::string> UserStateFolder();

}  // namespace pixmeta::platform
