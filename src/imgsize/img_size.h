// The pixel width and height of a JPEG, PNG, GIF, TIFF or BMP file, read from its header
// alone. The file type follows the name's extension; content of another type gives no size.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file_system.h"

namespace pixmeta {

class TImgSize {
 public:
  struct Size {
    int32_t width = -1;
    int32_t height = -1;
  };

  // Probes the file at once. Throws std::runtime_error when the file exists but cannot be
  // opened; any other failure only leaves the size invalid.
  explicit TImgSize(std::string fileName);
  // The same on a file the caller opened (or failed to open) for every reader of it.
  TImgSize(std::string fileName, platform::OpenedFile& opened);

  bool IsValid() const { return width >= 1 && height >= 1; }
  // -1 for a value that was not found.
  Size GetSize() const { return {width, height}; }

  const std::string& FileName() const { return fileName; }
  // Lower case with its dot; empty when the name has none.
  const std::string& Extension() const { return extension; }
  // ";" + extension + ";", as looked up in the extension lists.
  const std::string& ExtensionKey() const { return extensionKey; }

 private:
  void Run(platform::OpenedFile& opened);

  int32_t width = -1;
  int32_t height = -1;
  std::string fileName;
  std::string extension;
  std::string extensionKey;
};

}  // namespace pixmeta
