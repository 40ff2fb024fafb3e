// Writing an edited file: the file's own bytes with the edited segments spliced in, read
// again before they replace the file.
#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "exif/header_splices.h"
#include "exif/jpeg_codec.h"
#include "exif/jpeg_container.h"
#include "exif/rewrite_check.h"
#include "iptc/app13_editor.h"
#include "iptc/photoshop_resources.h"
#include "platform/rewritten_file.h"

namespace pixmeta {
namespace {

using Segment = JpegImage::Segment;

constexpr uint8_t kMarkerApp0 = 0xE0;
constexpr uint8_t kMarkerApp1 = 0xE1;
constexpr uint8_t kMarkerApp2 = 0xE2;
constexpr uint8_t kMarkerApp13 = 0xED;
constexpr uint8_t kMarkerCom = 0xFE;
constexpr uint16_t kTagMpEntry = 0xB002;
constexpr int64_t kMpEntrySize = 16;

std::string SegmentBytes(const tSection& slot) {
  std::string bytes;
  bytes.reserve(2 + slot.bytes.size());
  bytes += '\xFF';
  bytes += static_cast<char>(slot.marker);
  bytes += slot.bytes;
  return bytes;
}

const Segment* SegmentAt(const std::vector<Segment>& segments, int64_t offset) {
  for (const Segment& segment : segments) {
    if (static_cast<int64_t>(segment.offset) == offset) return &segment;
  }
  return nullptr;
}

bool IsMultiPicture(const Segment& segment) {
  return segment.marker == kMarkerApp2 && segment.bytes.substr(4, 4) == std::string_view("MPF\0", 4);
}

// The multi-picture index with the offsets of its later pictures moved by growth (they
// count from the index, and everything between it and the pictures after the image data
// moves by that much) and the size of the first picture, the file itself up to its image
// data's end, by fileGrowth. None when it holds no entries that could be read.
std::optional<std::string> MovedPictures(std::string_view segment, int64_t growth,
                                         int64_t fileGrowth) {
  constexpr size_t kTiffStart = 8;  // 0xFF, marker, length, "MPF\0"
  std::string moved(segment);
  const std::span<char> tiff = std::span(moved).subspan(std::min(kTiffStart, moved.size()));
  tEndInd reader{.bigEndian = segment.substr(kTiffStart, 2) == "MM",
                 .buffer = std::string_view(moved).substr(std::min(kTiffStart, moved.size()))};
  const std::optional<uint32_t> ifd = reader.Read32(5);
  const std::optional<uint16_t> count = ifd ? reader.Read16(int64_t{*ifd} + 1) : std::nullopt;
  if (!count) return std::nullopt;
  bool changed = false;
  for (int64_t i = 0; i < *count; ++i) {
    const int64_t e = int64_t{*ifd} + 3 + 12 * i;
    const std::optional<uint16_t> tag = reader.Read16(e);
    const std::optional<uint32_t> size = reader.Read32(e + 4);
    const std::optional<uint32_t> values = reader.Read32(e + 8);
    if (!tag || !size || !values || *tag != kTagMpEntry) continue;
    for (int64_t p = int64_t{*values} + 1; p + kMpEntrySize <= int64_t{*values} + 1 + *size;
         p += kMpEntrySize) {
      const std::optional<uint32_t> offset = reader.Read32(p + 8);
      const std::optional<uint32_t> bytes = reader.Read32(p + 4);
      if (!offset || !bytes) continue;
      // The first picture is the file itself, at offset 0.
      const int64_t at = *offset == 0 ? p + 4 : p + 8;
      const int64_t now = *offset == 0 ? int64_t{*bytes} + fileGrowth : int64_t{*offset} + growth;
      if (now <= 0 || now > UINT32_MAX) return std::nullopt;
      changed = Write32(tiff, at, static_cast<uint32_t>(now), reader.bigEndian) || changed;
    }
  }
  if (!changed) return std::nullopt;
  return moved;
}

}  // namespace

bool TimgData::PlanIptc(const std::vector<Segment>& segments, uint64_t newAt,
                        HeaderSplices& splices, std::string& errorText) const {
  if (!iptc_ || iptc_->KeyEdits().empty()) return true;
  // The file's image resources: the first APP13 segment that holds them, and the next ones
  // while the resources so far end inside one. Those the reader stopped before count too.
  std::vector<const Segment*> group;
  std::string stream;
  for (const Segment& segment : segments) {
    const std::string_view payload = segment.bytes.substr(4);
    if (segment.marker != kMarkerApp13 || !payload.starts_with(kPhotoshopSignature)) continue;
    if (!group.empty() && ParseResources(stream).rest.empty()) break;
    group.push_back(&segment);
    stream += payload.substr(kPhotoshopSignature.size());
  }
  std::vector<std::string_view> payloads;
  for (const Segment* segment : group) payloads.push_back(segment->bytes.substr(4));
  const App13Edit edit = EditApp13(payloads, iptc_->KeyEdits());
  if (!edit.error.empty()) {
    errorText = edit.error;
    return false;
  }
  // The block keeps its segments where they stand: payload i replaces segment i, more
  // payloads follow the last, and segments the block no longer needs go.
  const auto segmentBytes = [](std::string_view payload) {
    std::string bytes{'\xFF', static_cast<char>(kMarkerApp13),
                      static_cast<char>((payload.size() + 2) >> 8),
                      static_cast<char>((payload.size() + 2) & 0xFF)};
    bytes += payload;
    return bytes;
  };
  if (group.empty()) {
    std::string bytes;
    for (const std::string& payload : edit.payloads) bytes += segmentBytes(payload);
    if (bytes.empty()) return true;
    // Readers take the first APP13 segment for the IPTC one: the new block goes before any
    // other kind, and takes the place of an empty one.
    const auto first = std::find_if(segments.begin(), segments.end(),
                                    [](const Segment& s) { return s.marker == kMarkerApp13; });
    if (first != segments.end() && first->bytes.size() == 4) {
      return splices.Replace(first->offset, first->bytes.size(), std::move(bytes));
    }
    splices.Insert(first != segments.end() ? std::min<uint64_t>(newAt, first->offset) : newAt,
                   std::move(bytes));
    return true;
  }
  for (size_t i = 0; i < group.size(); ++i) {
    std::string bytes;
    if (i < edit.payloads.size()) bytes = segmentBytes(edit.payloads[i]);
    if (i + 1 == group.size()) {
      for (size_t j = group.size(); j < edit.payloads.size(); ++j) {
        bytes += segmentBytes(edit.payloads[j]);
      }
    }
    splices.Replace(group[i]->offset, group[i]->bytes.size(), std::move(bytes));
  }
  return true;
}

bool TimgData::PlanSplices(const JpegImage& image, HeaderSplices& splices,
                           std::string& errorText) const {
  const std::vector<Segment>& segments = image.Segments();
  if (exifSlot_ != 0 && (!exifPatches_.empty() || exifShortened_)) {
    const tSection& slot = Slot(exifSlot_);
    const Segment* old = SegmentAt(segments, slot.fileOffset);
    if (old == nullptr || old->marker != kMarkerApp1) {
      errorText = "its EXIF segment is no longer where it was read";
      return false;
    }
    splices.Replace(old->offset, old->bytes.size(), SegmentBytes(slot));
  }
  // A new segment goes after the APP0 segments that lead the file and after the EXIF
  // segment, so neither moves, but before a multi-picture index, whose offsets count from
  // itself to the pictures after the image data.
  uint64_t newAt = 2;
  for (const Segment& segment : segments) {
    if (segment.marker != kMarkerApp0) break;
    newAt = segment.offset + segment.bytes.size();
  }
  if (exifSlot_ != 0) {
    if (const Segment* exif = SegmentAt(segments, Slot(exifSlot_).fileOffset)) {
      newAt = std::max<uint64_t>(newAt, exif->offset + exif->bytes.size());
    }
  }
  for (const Segment& segment : segments) {
    if (IsMultiPicture(segment) && segment.offset < newAt) {
      newAt = segment.offset;
      break;
    }
  }
  // An edited comment replaces the segment it was read from; when the reader did not reach
  // the file's comment (it stopped before it), the last one is replaced rather than given
  // a twin, since readers take the last.
  const auto place = [&](int slotNumber, bool set, uint8_t marker) {
    if (!set || slotNumber == 0) return true;
    const tSection& slot = Slot(slotNumber);
    const Segment* old = slot.fileOffset >= 0 ? SegmentAt(segments, slot.fileOffset) : nullptr;
    if (slot.fileOffset < 0) {
      for (const Segment& segment : segments) {
        if (segment.marker == marker) old = &segment;
      }
    } else if (old == nullptr || old->marker != marker) {
      errorText = "an edited segment is no longer where it was read";
      return false;
    }
    if (old != nullptr) return splices.Replace(old->offset, old->bytes.size(), SegmentBytes(slot));
    splices.Insert(newAt, SegmentBytes(slot));
    return true;
  };
  if (!PlanIptc(segments, newAt, splices, errorText)) return false;
  if (!place(commentSlot_, commentSet_, kMarkerCom)) {
    if (errorText.empty()) errorText = "its segments overlap";
    return false;
  }
  const int64_t fileGrowth = splices.GrowthAfter(0);
  for (const Segment& segment : segments) {
    if (!IsMultiPicture(segment)) continue;
    const int64_t growth = splices.GrowthAfter(segment.offset);
    if (growth == 0 && fileGrowth == 0) continue;
    if (std::optional<std::string> moved = MovedPictures(segment.bytes, growth, fileGrowth)) {
      splices.Replace(segment.offset, segment.bytes.size(), std::move(*moved));
    }
  }
  return true;
}

bool TimgData::SaveWithImage(const JpegImage& image, const std::string& path,
                             bool updateDimensions, std::string& errorText,
                             const HeaderAlteration& alter) {
  if (updateDimensions && exif_) exif_->UpdateDimensions(image.Height(), image.Width());
  HeaderSplices splices;
  if (!PlanSplices(image, splices, errorText)) return false;
  std::string header = splices.Apply(image.Header());
  if (alter) alter(header);
  const std::string difference = DifferenceAfterRewrite(*this, image.Segments(), splices, header);
  if (!difference.empty()) {
    errorText = "not rewritten: the new file would not read the same (" + difference + ")";
    return false;
  }
  std::optional<platform::RewrittenFile> file =
      platform::RewrittenFile::Begin(path, image.Source(), errorText);
  if (!file) return false;
  file->Write(header);
  file->CopyFrom(image.Source(), image.ScanOffset(), image.ScanLength());
  return file->Commit(image.Source(), errorText);
}

}  // namespace pixmeta
