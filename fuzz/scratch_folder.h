// A folder of the fuzz target's own for the readers that take a path: on a memory file
// system where there is one, so each input costs no disk writes. Removed when it goes.
#pragma once

#include <string>
#include <string_view>

namespace pixmeta::fuzz {

class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // Replaces the file name in the folder by bytes; its path.
  std::string Write(std::string_view name, std::string_view bytes) const;
  // The path of name, made a symbolic link to target (a name in the folder) if it is not.
  std::string Link(std::string_view name, std::string_view target) const;
  // The file's whole content; empty when it cannot be read.
  std::string Read(const std::string& path) const;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;  // ends in '/'
};

}  // namespace pixmeta::fuzz
