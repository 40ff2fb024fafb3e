// libFuzzer target: any bytes as a JPEG, a TIFF-family file and the other probed formats,
// through everything that reads a file's metadata. Build with clang:
//   cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DPIXMETA_FUZZ=ON
//   build-fuzz/load_fuzzer -max_len=70000 corpus/
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "exif/jpeg_container.h"
#include "imgsize/img_size.h"
#include "makernotes/maker_note_decoder.h"
#include "platform/file_system.h"

namespace {

// One scratch file per extension, in a folder of this process's own.
std::string Scratch(const char* extension) {
  static const std::string folder = [] {
    std::string tmpl = "/tmp/pixmeta-fuzz-XXXXXX";
    return std::string(::mkdtemp(tmpl.data())) + "/";
  }();
  return folder + "input" + extension;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // The first byte picks the extension, so one corpus covers every reader.
  const char* const extensions[] = {".jpg", ".tif", ".png", ".gif", ".bmp"};
  const char* extension = extensions[size > 0 ? data[0] % 5 : 0];
  const std::string path = Scratch(extension);
  std::string error;
  std::optional<pixmeta::platform::ReplacingFile> file =
      pixmeta::platform::ReplacingFile::Create(path, error);
  if (!file || !file->Write(bytes.substr(size > 0 ? 1 : 0)) || !file->Commit(error)) std::abort();
  pixmeta::TImgSize size_probe(path);
  pixmeta::TimgData container(pixmeta::kListBoth, &pixmeta::ReadMakerNote);
  pixmeta::StringList lines;
  container.LoadFile(path);
  if (container.HasIptc()) {
    container.Iptc()->LoadFromSegment(container.IptcSegment());
    container.Iptc()->FilePairList(lines);
    container.Iptc()->XmlLines(lines);
  }
  if (pixmeta::TImageInfo* exif = container.Exif()) {
    exif->NameValueList(lines);
    exif->GetInt("Orientation");
  }
  container.GetComment();
  container.MetadataXml(lines);
  return 0;
}
