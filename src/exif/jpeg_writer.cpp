// Writing a JPEG file anew from the container's segments and the file's image data.
#include <optional>
#include <string>
#include <string_view>

#include "exif/jpeg_codec.h"
#include "exif/jpeg_container.h"
#include "platform/rewritten_file.h"

namespace pixmeta {
namespace {

constexpr uint8_t kMarkerCom = 0xFE;

// Length 16, "JFIF", version 1.02, 300 dots per inch both ways, no thumbnail.
constexpr std::string_view kDefaultJfif{
    "\xFF\xE0\x00\x10JFIF\x00\x01\x02\x01\x01\x2C\x01\x2C\x00\x00", 18};

void AppendSegment(std::string& out, const tSection& slot) {
  out += '\xFF';
  out += static_cast<char>(slot.marker);
  out += slot.bytes;
}

}  // namespace

size_t TimgData::WriteHeaderSegments(std::string& out, std::string_view earlierComments) const {
  const size_t before = out.size();
  out += "\xFF\xD8";
  if (exifSlot_ != 0) {
    AppendSegment(out, Slot(exifSlot_));
  } else if (jfifSlot_ != 0) {
    AppendSegment(out, Slot(jfifSlot_));
  } else {
    out += kDefaultJfif;
  }
  if (iptcSlot_ != 0) AppendSegment(out, Slot(iptcSlot_));
  out += earlierComments;
  if (commentSlot_ != 0) AppendSegment(out, Slot(commentSlot_));
  return out.size() - before;
}

bool TimgData::SaveWithImage(const JpegImage& image, const std::string& path,
                             bool updateDimensions, std::string& errorText) {
  if (updateDimensions && exif_) exif_->UpdateDimensions(image.Height(), image.Width());
  // The file's own segments that the header above writes from the slots, or leaves out
  // (the APP0, when the EXIF segment leads).
  const auto rewritten = [this](uint64_t offset) {
    for (const int n : {exifSlot_, iptcSlot_, commentSlot_, jfifSlot_}) {
      if (n != 0 && Slot(n).fileOffset >= 0 &&
          static_cast<uint64_t>(Slot(n).fileOffset) == offset) {
        return true;
      }
    }
    return false;
  };
  // Further comments go before the one the program holds, which a reader takes as the
  // file's comment because it comes last.
  std::string earlierComments;
  if (commentSlot_ != 0) {
    for (const JpegImage::Segment& segment : image.Segments()) {
      if (segment.marker == kMarkerCom && !rewritten(segment.offset)) {
        earlierComments += segment.bytes;
      }
    }
  }
  std::string header;
  WriteHeaderSegments(header, earlierComments);
  for (const JpegImage::Segment& segment : image.Segments()) {
    if (rewritten(segment.offset)) continue;
    if (segment.marker == kMarkerCom && commentSlot_ != 0) continue;
    header += segment.bytes;
  }
  std::optional<platform::RewrittenFile> file =
      platform::RewrittenFile::Begin(path, image.Source(), errorText);
  if (!file) return false;
  file->Write(header);
  file->CopyFrom(image.Source(), image.ScanOffset(), image.ScanLength());
  return file->Commit(image.Source(), errorText);
}

}  // namespace pixmeta
