// Edits of an EXIF block in place: the block keeps its layout, only value bytes change,
// except that removing the thumbnail may cut the block short.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>

#include "exif/image_info.h"
#include "exif/jpeg_container.h"
#include "exif/value_format.h"

namespace pixmeta {
namespace {

constexpr int64_t kSecondsPerDay = 86400;

}  // namespace

bool TImageInfo::WriteDateAt(int64_t pos, double date) {
  const std::string text = ExifDateText(date);
  const std::span<char> bytes = owner_.PatchableExif();
  if (text.empty() || !FitsIn(bytes.size(), pos, static_cast<int64_t>(text.size()))) {
    return false;
  }
  std::copy(text.begin(), text.end(), bytes.begin() + (pos - 1));
  return true;
}

void TImageInfo::ShiftDates(int32_t days, int32_t hours, int32_t minutes, int32_t seconds) {
  // Summed in whole seconds first, so the offset is divided only once.
  const int64_t offsetSeconds = int64_t{days} * kSecondsPerDay + int64_t{hours} * 3600 +
                                int64_t{minutes} * 60 + seconds;
  const double offset = static_cast<double>(offsetSeconds) / kSecondsPerDay;
  for (const int64_t pos : {dateTimePos, dateTimeOriginalPos, dateTimeDigitizedPos}) {
    if (const std::optional<double> date = TryReadDateAt(pos)) WriteDateAt(pos, *date + offset);
  }
}

bool TImageInfo::SetValueByName(std::string_view name, int32_t value) {
  const int index = LookupIndex(name);
  if (index < 0) return false;
  const TTagEntry& entry = tags[static_cast<size_t>(index)];
  if (entry.tag() == 0) return false;
  const std::span<char> bytes = owner_.PatchableExif();
  switch (ElementSize(entry.dataType)) {
    case 2:
      return Write16(bytes, entry.position, static_cast<uint16_t>(value), bigEndian);
    case 4:
      return Write32(bytes, entry.position, static_cast<uint32_t>(value), bigEndian);
    default:
      return false;
  }
}

bool TImageInfo::SetTextByName(std::string_view name, std::string_view text) {
  const int index = LookupIndex(name);
  if (index < 0) return false;
  const TTagEntry& entry = tags[static_cast<size_t>(index)];
  const std::span<char> bytes = owner_.PatchableExif();
  if (entry.tag() == 0 || entry.size <= 0 || !FitsIn(bytes.size(), entry.position, entry.size)) {
    return false;
  }
  const std::span<char> field = bytes.subspan(static_cast<size_t>(entry.position - 1),
                                              static_cast<size_t>(entry.size));
  const size_t kept = std::min(text.size(), field.size() - 1);
  std::copy_n(text.begin(), kept, field.begin());
  std::fill(field.begin() + static_cast<std::ptrdiff_t>(kept), field.end(), '\0');
  return true;
}

bool TImageInfo::RemoveThumbnail() {
  if (thumbOffset <= 0) return false;
  if (!Write32(owner_.PatchableExif(), nextIfdPos_, 0, bigEndian)) return false;
  // Cameras often store Exif values or the maker note after the thumbnail; those must stay,
  // so the block is cut only when everything the walk met ends before IFD1.
  const int64_t ifd1Pos = thumbOffset + kJpegBase;
  if (referencedEnd_ <= ifd1Pos) owner_.ShortenExif(static_cast<size_t>(ifd1Pos - 1));
  return true;
}

bool TImageInfo::WriteDimension(int64_t pos, int32_t type, int32_t value) {
  const std::span<char> bytes = owner_.PatchableExif();
  if (type == kTypeShort && value >= 0 && value <= UINT16_MAX) {
    return Write16(bytes, pos, static_cast<uint16_t>(value), bigEndian);
  }
  if (type == kTypeLong && value >= 0) {
    return Write32(bytes, pos, static_cast<uint32_t>(value), bigEndian);
  }
  return false;
}

void TImageInfo::UpdateDimensions(int32_t newHeight, int32_t newWidth) {
  if (height <= 0 || width <= 0 || (height == newHeight && width == newWidth)) return;
  WriteDimension(heightPos, heightType_, newHeight);
  WriteDimension(widthPos, widthType_, newWidth);
}

}  // namespace pixmeta
