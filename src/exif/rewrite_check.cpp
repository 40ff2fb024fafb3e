#include "exif/rewrite_check.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "exif/header_splices.h"
#include "exif/jpeg_container.h"
#include "iptc/iptc_data.h"
#include "iptc/iptc_table.h"
#include "platform/file_system.h"
#include "util/string_list.h"

namespace pixmeta {
namespace {

using Patches = std::vector<std::pair<int64_t, int64_t>>;

// Where an entry's value lies in its EXIF block, [start, end); empty for entries made from
// other entries.
std::pair<int64_t, int64_t> ValueRange(const TTagEntry& entry, std::string_view block) {
  if (entry.raw.empty() || entry.raw.data() < block.data() ||
      entry.raw.data() + entry.raw.size() > block.data() + block.size()) {
    return {0, 0};
  }
  const int64_t start = entry.raw.data() - block.data() + 1;
  return {start, start + static_cast<int64_t>(entry.raw.size())};
}

bool Overlaps(const Patches& patches, int64_t start, int64_t end) {
  return std::any_of(patches.begin(), patches.end(),
                     [&](const auto& p) { return p.first < end && start < p.second; });
}

std::string_view ExifBlock(const TimgData& c) {
  return c.ExifSlot() != 0 ? c.Slot(c.ExifSlot()).bytes : std::string_view();
}

std::string ExifDifference(const TimgData& before, const TimgData& after) {
  const TImageInfo* old = before.Exif();
  const TImageInfo* now = after.Exif();
  if ((old == nullptr) != (now == nullptr)) return "EXIF block";
  if (old == nullptr) return {};
  const Patches& patches = before.ExifPatches();
  const bool sizePatched = Overlaps(patches, old->widthPos, old->widthPos + 4) ||
                           Overlaps(patches, old->heightPos, old->heightPos + 4);
  if (old->tags.size() != now->tags.size()) return "EXIF tag list";
  const std::string_view oldBlock = ExifBlock(before);
  for (size_t i = 0; i < old->tags.size(); ++i) {
    const TTagEntry& a = old->tags[i];
    const TTagEntry& b = now->tags[i];
    if (a.row != b.row) return "EXIF tag " + std::string(a.name());
    const auto [start, end] = ValueRange(a, oldBlock);
    // Edited values differ; so does a value worked out from the pixel size when that changed.
    if (start != end ? Overlaps(patches, start, end) : sizePatched && a.id == 0) continue;
    if (a.text != b.text) return "EXIF tag " + std::string(a.name());
  }
  return {};
}

// The data sets of the keys the IPTC object did not edit, each as "name=value".
std::vector<std::string> UneditedDataSets(std::string_view segment, const TIPTCdata* edited) {
  StringList sets;
  TIPTCdata::SegmentPairList(segment, sets);
  std::vector<std::string> kept;
  for (const std::string_view line : sets) {
    const int32_t row = TIPTCdata::TableRowOf(line.substr(0, line.find('=')));
    const bool isEdited =
        edited != nullptr && row >= 0 &&
        std::any_of(edited->KeyEdits().begin(), edited->KeyEdits().end(), [row](const IptcKeyEdit& e) {
          const TagRow& key = IptcKeyTable()[static_cast<size_t>(row)];
          return key.tag == e.number && key.record == e.record;
        });
    if (!isEdited) kept.emplace_back(line);
  }
  return kept;
}

std::string IptcDifference(const TimgData& before, const TimgData& after) {
  const TIPTCdata* edits = before.Iptc();
  const bool edited = edits != nullptr && !edits->KeyEdits().empty();
  if (!edited && after.HasIptc() != before.HasIptc()) return "IPTC";
  if (UneditedDataSets(before.IptcSegment(), edits) != UneditedDataSets(after.IptcSegment(), edits)) {
    return "IPTC";
  }
  return {};
}

std::string SegmentDifference(std::span<const JpegImage::Segment> oldSegments,
                              const HeaderSplices& splices, std::string_view header) {
  // The new places of what the splices put in.
  std::vector<std::pair<uint64_t, uint64_t>> spliced;
  int64_t growth = 0;
  for (const HeaderSplices::Splice& s : splices.Splices()) {
    const auto at = static_cast<uint64_t>(static_cast<int64_t>(s.offset) + growth);
    spliced.emplace_back(at, at + s.bytes.size());
    growth += static_cast<int64_t>(s.bytes.size()) - static_cast<int64_t>(s.removed);
  }
  const auto isSpliced = [&](uint64_t offset) {
    return std::any_of(spliced.begin(), spliced.end(),
                       [offset](const auto& r) { return offset >= r.first && offset < r.second; });
  };
  std::vector<std::string_view> kept;
  for (const JpegImage::Segment& segment : oldSegments) {
    if (!splices.Replaces(segment.offset)) kept.push_back(segment.bytes);
  }
  size_t next = 0;
  for (const JpegImage::Segment& segment : JpegImage::SegmentsOf(header)) {
    if (isSpliced(segment.offset)) continue;
    if (next == kept.size() || kept[next] != segment.bytes) return "segment list";
    ++next;
  }
  return next == kept.size() ? std::string() : "segment list";
}

}  // namespace

std::string DifferenceAfterRewrite(const TimgData& before,
                                   std::span<const JpegImage::Segment> oldSegments,
                                   const HeaderSplices& splices, std::string_view header) {
  if (std::string difference = SegmentDifference(oldSegments, splices, header);
      !difference.empty()) {
    return difference;
  }
  TimgData after(kListBoth, before.MakerReader());
  after.NoteValuePlaces(false);
  platform::OpenedFile opened;
  opened.file = platform::InputFile::InMemory(header, platform::FileInfo{});
  after.LoadFile(before.FileName(), opened);
  // A file read as holding no metadata may gain some from the edit.
  if (before.ErrorText() != "Not an EXIF file" && after.ErrorText() != before.ErrorText()) {
    return "error text";
  }
  if (std::string difference = ExifDifference(before, after); !difference.empty()) {
    return difference;
  }
  if (!before.CommentSet() && (after.HasComment() != before.HasComment() ||
                               after.GetComment() != before.GetComment())) {
    return "comment";
  }
  return IptcDifference(before, after);
}

}  // namespace pixmeta
