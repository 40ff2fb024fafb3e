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
  // Moves to an absolute offset; false when it lies past the end of the file.
  bool Seek(uint64_t offset);
  bool AtEnd();

 private:
  explicit InputFile(int fd);
  bool Fill();

  int fd_ = -1;
  FileInfo info_;
  std::unique_ptr<char[]> buffer_;  // allocated on the first read, never zero-filled
  size_t filled_ = 0;
  size_t pos_ = 0;
};

// Writes the whole text; true on success, else errorText says why.
bool WriteFile(const std::string& path, std::string_view bytes, std::string& errorText);
// Saves lines as UTF-8 (see ToOutputUtf8), each ended by CR LF.
bool SaveLines(const std::string& path, std::span<const std::string> lines,
               std::string& errorText);
bool DeleteFile(const std::string& path);

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
