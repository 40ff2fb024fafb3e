// A run stopped by SIGINT, SIGTERM or SIGHUP removes the temporary files it is writing
// before it dies of that signal, so no half-written file is left beside a photo or a log.
#pragma once

#include <string>

namespace pixmeta::platform {

// Installs the handlers, once. A signal that the program was started ignoring (SIGHUP
// under nohup) stays ignored.
void RemoveTemporariesWhenStopped();

// Marks a temporary file's name for removal when the run is stopped, from construction
// (before the file is made, so no moment is left uncovered) until Release or destruction.
// A few names at a time are covered; a name beyond them, or too long to be a path, is not.
class RemovedWhenStopped {
 public:
  RemovedWhenStopped() = default;
  explicit RemovedWhenStopped(const std::string& path);
  RemovedWhenStopped(RemovedWhenStopped&& other) noexcept;
  RemovedWhenStopped& operator=(RemovedWhenStopped&& other) noexcept;
  RemovedWhenStopped(const RemovedWhenStopped&) = delete;
  RemovedWhenStopped& operator=(const RemovedWhenStopped&) = delete;
  ~RemovedWhenStopped() { Release(); }

  // The file is gone or has its final name: a stop leaves it alone from now on.
  void Release();

 private:
  int slot_ = -1;
};

}  // namespace pixmeta::platform
