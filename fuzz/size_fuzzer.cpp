// libFuzzer target: the pixel-size probe of every format over any bytes.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "imgsize/img_size.h"
#include "scratch_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const pixmeta::fuzz::ScratchFolder folder;
  folder.Write("input", std::string_view(reinterpret_cast<const char*>(data), size));
  // One file, reached under each format's extension.
  static const std::array<std::string, 5> paths = {
      folder.Link("input.jpg", "input"), folder.Link("input.png", "input"),
      folder.Link("input.gif", "input"), folder.Link("input.tif", "input"),
      folder.Link("input.bmp", "input")};
  for (const std::string& path : paths) {
    // The file opens, so the probe has no reason to throw.
    pixmeta::TImgSize probe(path);
    probe.GetSize();
  }
  return 0;
}
