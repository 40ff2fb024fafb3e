#include "scratch_folder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace pixmeta::fuzz {

ScratchFolder::ScratchFolder() {
  const std::filesystem::path shm = "/dev/shm";
  std::error_code ec;
  const std::filesystem::path root =
      std::filesystem::is_directory(shm, ec) ? shm : std::filesystem::temp_directory_path();
  std::string tmpl = (root / "pixmeta-fuzz-XXXXXX").string();
  if (::mkdtemp(tmpl.data()) == nullptr) std::abort();
  path_ = tmpl + "/";
}

ScratchFolder::~ScratchFolder() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string ScratchFolder::Write(std::string_view name, std::string_view bytes) const {
  const std::string path = path_ + std::string(name);
  // A new file each time, so a reader never sees the bytes of the input before.
  ::unlink(path.c_str());
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) std::abort();
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) std::abort();
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  return path;
}

std::string ScratchFolder::Link(std::string_view name, std::string_view target) const {
  const std::string path = path_ + std::string(name);
  std::error_code ec;
  if (!std::filesystem::is_symlink(path, ec)) {
    std::filesystem::create_symlink(std::string(target), path, ec);
    if (ec) std::abort();
  }
  return path;
}

std::string ScratchFolder::Read(const std::string& path) const {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace pixmeta::fuzz
