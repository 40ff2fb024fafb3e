// Rewriting a photo in place without ever putting it at risk.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/stop_signals.h"

namespace pixmeta::platform {

// A process that writes files past a size limit gets EFBIG from the write instead of being
// killed, so a rewrite can fail cleanly and leave the original as it was.
void IgnoreFileSizeSignal();

// The new content of a file that was read through an InputFile. It is written beside the
// file (the target of a symbolic link, not the link) under a hidden temporary name; Commit
// gives it the file's extended attributes, ACL and mode and, where the process may set
// them, its owner and group, flushes it to the disk and renames it over the file. Until
// then, and whenever anything fails, the file stays byte for byte as it was; without
// Commit, or when a stop signal ends the run, the temporary file goes.
class RewrittenFile {
 public:
  // None, with errorText, when the file cannot be rewritten: it is read-only, the running
  // user may not write it, it vanished or changed since source was opened, or its folder
  // takes no new file.
  static std::optional<RewrittenFile> Begin(const std::string& path, const InputFile& source,
                                            std::string& errorText);

  RewrittenFile(RewrittenFile&& other) noexcept;
  RewrittenFile& operator=(RewrittenFile&&) = delete;
  RewrittenFile(const RewrittenFile&) = delete;
  RewrittenFile& operator=(const RewrittenFile&) = delete;
  ~RewrittenFile();

  // False once anything could not be written; Commit then says why.
  bool Write(std::string_view bytes);
  // Appends count bytes of source from offset; in the kernel, without passing them
  // through the process, where the file systems allow it.
  bool CopyFrom(const InputFile& source, uint64_t offset, uint64_t count);
  // Gives the new content the file's attributes, flushes it and puts it in the file's
  // place, after checking that the file is still the one source read; false with
  // errorText otherwise (an attribute that cannot be kept among the reasons: an original
  // that keeps its attributes is better than a rewrite that drops some).
  bool Commit(const InputFile& source, std::string& errorText);

 private:
  RewrittenFile(int fd, std::string target, std::string temporary, RemovedWhenStopped removal);
  bool CopyByReading(int from, uint64_t offset, uint64_t count);
  void Remember(int error);

  int fd_ = -1;
  int error_ = 0;  // the first error
  std::string target_;     // the real file, links resolved
  std::string temporary_;  // empty once renamed
  RemovedWhenStopped removal_;
};

}  // namespace pixmeta::platform
