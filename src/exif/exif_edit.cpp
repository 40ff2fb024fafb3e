// Edits of an EXIF block in place: the block keeps its layout, only value bytes change,
// except that removing the thumbnail may cut the block short. No edit writes bytes that
// another value, a directory or a maker note also occupies.
#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "exif/image_info.h"
#include "exif/jpeg_container.h"
#include "exif/value_format.h"

namespace pixmeta {
namespace {

constexpr int64_t kSecondsPerDay = 86400;
constexpr uint16_t kTagThumbnailStart = 0x0201;
constexpr uint16_t kTagThumbnailLength = 0x0202;

}  // namespace

void TImageInfo::NoteBytes(std::string_view raw, bool table) {
  if (!notesSpans || isTiff || raw.empty() || block_.empty()) return;
  if (raw.data() < block_.data() || raw.data() + raw.size() > block_.data() + block_.size()) {
    return;
  }
  const int64_t start = raw.data() - block_.data() + 1;
  if (spans_.size() == kMaxSpans) return;
  spans_.push_back({start, start + static_cast<int64_t>(raw.size()), table});
}

bool TImageInfo::SharesBytes(int64_t pos, int64_t count) const {
  if (!notesSpans || spans_.size() == kMaxSpans) return true;
  const int64_t end = pos + count;
  bool inTable = false;
  int valuesStartingHere = 0;
  for (const Span& span : spans_) {
    if (span.table) {
      inTable = inTable || (pos >= span.start && end <= span.end);
      continue;
    }
    if (span.end <= pos || end <= span.start) continue;
    if (span.start != pos) return true;
    ++valuesStartingHere;
  }
  if (valuesStartingHere > 1) return true;
  // A value kept in its entry lies in the entry table; any other must lie outside them.
  if (inTable) return false;
  return std::any_of(spans_.begin(), spans_.end(), [&](const Span& span) {
    return span.table && span.start < end && pos < span.end;
  });
}

bool TImageInfo::ValueSharesBytes(std::string_view name) const {
  const int index = LookupIndex(name);
  if (index < 0) return false;
  const TTagEntry& entry = tags[static_cast<size_t>(index)];
  return entry.size > 0 && SharesBytes(entry.position, entry.size);
}

bool TImageInfo::Patch(int64_t pos, std::string_view bytes) {
  if (SharesBytes(pos, static_cast<int64_t>(bytes.size()))) return false;
  return owner_.PatchExif(pos, bytes);
}

bool TImageInfo::WriteDateAt(int64_t pos, double date) {
  const std::string text = ExifDateText(date);
  if (text.empty()) return false;
  return Patch(pos, text);
}

TImageInfo::DateShift TImageInfo::ShiftDates(int32_t days, int32_t hours, int32_t minutes,
                                             int32_t seconds) {
  // Summed in whole seconds first, so the offset is divided only once.
  const int64_t offsetSeconds = int64_t{days} * kSecondsPerDay + int64_t{hours} * 3600 +
                                int64_t{minutes} * 60 + seconds;
  const double offset = static_cast<double>(offsetSeconds) / kSecondsPerDay;
  std::array<std::pair<int64_t, double>, 3> dates{};
  size_t count = 0;
  for (const int64_t pos : {dateTimePos, dateTimeOriginalPos, dateTimeDigitizedPos}) {
    const std::optional<double> date = TryReadDateAt(pos);
    if (!date) continue;
    if (SharesBytes(pos, 19)) return DateShift::SharedBytes;
    dates[count++] = {pos, *date + offset};
  }
  if (count == 0) return DateShift::NothingToShift;
  for (const auto& [pos, date] : std::span(dates).first(count)) WriteDateAt(pos, date);
  return DateShift::Shifted;
}

bool TImageInfo::SetValueByName(std::string_view name, int32_t value) {
  const int index = LookupIndex(name);
  if (index < 0) return false;
  const TTagEntry& entry = tags[static_cast<size_t>(index)];
  if (entry.tag() == 0) return false;
  std::array<char, 4> bytes{};
  switch (ElementSize(entry.dataType)) {
    case 2:
      Write16(bytes, 1, static_cast<uint16_t>(value), bigEndian);
      return Patch(entry.position, std::string_view(bytes.data(), 2));
    case 4:
      Write32(bytes, 1, static_cast<uint32_t>(value), bigEndian);
      return Patch(entry.position, std::string_view(bytes.data(), 4));
    default:
      return false;
  }
}

bool TImageInfo::SetTextByName(std::string_view name, std::string_view text) {
  const int index = LookupIndex(name);
  if (index < 0) return false;
  const TTagEntry& entry = tags[static_cast<size_t>(index)];
  if (entry.tag() == 0 || entry.size <= 0) return false;
  std::string field(static_cast<size_t>(entry.size), '\0');
  const size_t kept = std::min(text.size(), field.size() - 1);
  std::copy_n(text.begin(), kept, field.begin());
  return Patch(entry.position, field);
}

bool TImageInfo::Ifd1IsTheTail(int64_t ifd1Pos) const {
  const std::optional<uint16_t> count = Read16(ifd1Pos);
  if (!count) return false;
  const int64_t tableEnd = ifd1Pos + 2 + 12 * int64_t{*count} + 4;
  if (!FitsIn(buffer.size(), ifd1Pos, tableEnd - ifd1Pos)) return false;
  std::vector<std::pair<int64_t, int64_t>> used{{ifd1Pos, tableEnd}};
  std::optional<uint32_t> thumbStart;
  std::optional<uint32_t> thumbSize;
  for (int64_t e = ifd1Pos + 2; e + 12 <= tableEnd - 4; e += 12) {
    const uint16_t tag = Read16At(e);
    const int64_t size = static_cast<int64_t>(Read32At(e + 4)) * ElementSize(Read16At(e + 2));
    if (size > 4) used.emplace_back(Read32At(e + 8) + kJpegBase, Read32At(e + 8) + kJpegBase + size);
    if (tag == kTagThumbnailStart) thumbStart = Read32At(e + 8);
    if (tag == kTagThumbnailLength) thumbSize = Read32At(e + 8);
  }
  if (thumbStart && thumbSize) {
    used.emplace_back(*thumbStart + kJpegBase, *thumbStart + kJpegBase + int64_t{*thumbSize});
  }
  std::sort(used.begin(), used.end());
  // Every byte from IFD1 to the end that none of them uses must be padding.
  const auto blockEnd = static_cast<int64_t>(buffer.size()) + 1;
  int64_t pos = ifd1Pos;
  const auto padding = [this](int64_t from, int64_t to) {
    for (int64_t p = from; p < to; ++p) {
      const char c = buffer[static_cast<size_t>(p - 1)];
      if (c != '\0' && c != '\xFF') return false;
    }
    return true;
  };
  for (const auto& [start, end] : used) {
    if (start > pos && !padding(pos, std::min(start, blockEnd))) return false;
    pos = std::max(pos, end);
  }
  return pos >= blockEnd || padding(pos, blockEnd);
}

bool TImageInfo::RemoveThumbnail() {
  if (thumbOffset <= 0) return false;
  if (!Patch(nextIfdPos_, std::string(4, '\0'))) return false;
  // Cameras often keep Exif values, the maker note or previews after the thumbnail; the
  // block is cut only where IFD1 and its thumbnail are all that is left from there on.
  const int64_t ifd1Pos = thumbOffset + kJpegBase;
  if (referencedEnd_ <= ifd1Pos && Ifd1IsTheTail(ifd1Pos)) {
    owner_.ShortenExif(static_cast<size_t>(ifd1Pos - 1));
  }
  return true;
}

bool TImageInfo::WriteDimension(int64_t pos, int32_t type, int32_t value) {
  std::array<char, 4> bytes{};
  if (type == kTypeShort && value >= 0 && value <= UINT16_MAX) {
    Write16(bytes, 1, static_cast<uint16_t>(value), bigEndian);
    return Patch(pos, std::string_view(bytes.data(), 2));
  }
  if (type == kTypeLong && value >= 0) {
    Write32(bytes, 1, static_cast<uint32_t>(value), bigEndian);
    return Patch(pos, std::string_view(bytes.data(), 4));
  }
  return false;
}

void TImageInfo::UpdateDimensions(int32_t newHeight, int32_t newWidth) {
  if (height <= 0 || width <= 0 || (height == newHeight && width == newWidth)) return;
  WriteDimension(heightPos, heightType_, newHeight);
  WriteDimension(widthPos, widthType_, newWidth);
}

}  // namespace pixmeta
