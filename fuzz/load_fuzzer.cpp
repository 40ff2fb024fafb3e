// libFuzzer target: any bytes loaded as a JPEG and as a TIFF-family file, with the EXIF walk,
// the maker notes and everything that lists what was read. The entries a file gives must
// stay bounded by its size.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "exif/jpeg_container.h"
#include "makernotes/maker_note_decoder.h"
#include "scratch_folder.h"

namespace {

using pixmeta::TimgData;

// More entries than this from a file of size bytes means something multiplied them.
size_t EntryBound(size_t size) { return size / 2 + 512; }

void ListEverything(TimgData& container, size_t size) {
  pixmeta::StringList lines;
  if (pixmeta::TIPTCdata* iptc = container.Iptc()) {
    iptc->LoadFromSegment(container.IptcSegment());
    iptc->FilePairList(lines);
    iptc->XmlLines(lines);
    if (static_cast<size_t>(iptc->Count()) > EntryBound(size)) std::abort();
  }
  if (pixmeta::TImageInfo* exif = container.Exif()) {
    if (exif->tags.size() > EntryBound(size)) std::abort();
    exif->NameValueList(lines);
    exif->ExifXml(lines);
    exif->GetInt("Orientation");
    exif->BestDate();
  }
  container.HasThumbnail();
  container.GetComment();
  container.MetadataXml(lines);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const pixmeta::fuzz::ScratchFolder folder;
  // One file, reached under each extension whose reader it goes through.
  folder.Write("input", std::string_view(reinterpret_cast<const char*>(data), size));
  static const std::string asJpeg = folder.Link("input.jpg", "input");
  static const std::string asTiff = folder.Link("input.tif", "input");
  static const std::string asNef = folder.Link("input.nef", "input");
  // One container for both, as the per-file loop keeps one for all files.
  TimgData container(pixmeta::kListBoth, &pixmeta::ReadMakerNote);
  container.LoadFile(asJpeg);
  ListEverything(container, size);
  container.LoadFile(size % 2 == 0 ? asTiff : asNef);
  ListEverything(container, size);
  return 0;
}
