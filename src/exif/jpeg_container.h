// TimgData: the container of one JPEG (or TIFF-family) file's metadata. It walks the marker
// segments up to the start of scan, keeps their bytes in a fixed table of slots, and owns
// the EXIF object made from the APP1 segment and the IPTC object of the APP13 segment.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "records/byte_reader.h"
#include "exif/image_info.h"
#include "exif/maker_note_host.h"
#include "platform/file_system.h"
#include "iptc/iptc_data.h"
#include "util/string_list.h"

namespace pixmeta {


// One kept segment.
struct tSection {
  // The two length bytes (big-endian), then the payload: a view of the file's head as the
  // container read it, or of owned for a segment the program set.
  std::string_view bytes;
  uint32_t marker = 0;  // the marker code, such as 0xE1 for APP1
  int32_t length = 0;   // the length field: payload + 2
  std::string owned;
};

inline constexpr std::string_view kNoError = "<none>";

class TimgData final : public tEndInd, public IptcHost {
 public:
  static constexpr int kSlotCount = 21;     // slots 1 to 21
  static constexpr int kReadableSlots = 20;  // the reader fills at most slots 1 to 20
  static constexpr int64_t kTiffReadLimit = 256000;

  explicit TimgData(int32_t listMode = kListBoth, MakerNoteReader makerNoteReader = nullptr);
  ~TimgData();
  TimgData(const TimgData&) = delete;
  TimgData& operator=(const TimgData&) = delete;

  // Reads the file, after Reset; true when it holds an EXIF, comment or IPTC segment (JPEG) or a TIFF
  // header (TIFF family). The extension alone chooses the reader.
  bool LoadFile(const std::string& path);
  // The same on a file the caller opened (or failed to open) for every reader of it.
  bool LoadFile(const std::string& path, platform::OpenedFile& opened);
  void Reset();

  bool HasExif() const { return exifSlot_ != 0; }
  bool HasThumbnail() const;
  bool HasIptc() const { return iptcSlot_ != 0; }
  bool HasComment() const { return commentSlot_ != 0; }
  bool HasMetadata() const { return HasExif() || HasComment() || HasIptc(); }

  std::string GetComment() const;
  // Replace the comment or APP13 segment, or append it in a new slot; false when the text
  // does not fit a segment or no slot is left.
  bool SetComment(std::string_view text);
  bool SetIptcBytes(std::string_view payload);
  // An empty APP13 segment and a new, empty IPTC object; false when no slot is left.
  bool CreateEmptyIptc();

  // Adds the file facts, the EXIF block and the IPTC block as an XML-like block; false, and
  // nothing added, when the file can no longer be found.
  bool MetadataXml(StringList& out) const;

  TImageInfo* Exif() { return exif_.get(); }
  const TImageInfo* Exif() const { return exif_.get(); }
  TIPTCdata* Iptc() { return iptc_.get(); }
  const TIPTCdata* Iptc() const { return iptc_.get(); }

  // IptcHost
  std::string_view IptcSegment() const override;
  std::string ReadIptcSegment(const std::string& path) override;
  const std::string& ErrorText() const { return errorText_; }
  void SetErrorText(std::string text) { errorText_ = std::move(text); }
  int SlotCount() const { return slotCount_; }
  // Slot n (1 to 21).
  const tSection& Slot(int n) const { return slots_.at(static_cast<size_t>(n - 1)); }
  int ExifSlot() const { return exifSlot_; }
  int IptcSlot() const { return iptcSlot_; }
  int CommentSlot() const { return commentSlot_; }
  int JfifSlot() const { return jfifSlot_; }
  const std::string& FileName() const { return fileName_; }
  // The last-write time at load, as a local day count.
  double FileDate() const;
  int64_t FileSize() const { return fileSize_; }

 private:
  bool ReadJpegSegments(platform::InputFile& file);
  // Reads the segments up to the start of scan, noting where each lies in the file's head.
  bool WalkSegments(platform::InputFile& file,
                    std::array<std::pair<size_t, size_t>, kSlotCount>& places);
  bool ReadTiffBlock(platform::InputFile& file);
  void ParseJpegExif();
  void CreateExif();
  bool StoreSegment(int& slotRef, uint32_t marker, std::string_view payload);
  tSection& SlotRef(int n) { return slots_.at(static_cast<size_t>(n - 1)); }

  int32_t listMode_;
  MakerNoteReader makerNoteReader_;
  platform::ByteBuffer head_;  // the file's first bytes, which the slots view
  std::array<tSection, kSlotCount> slots_;
  int slotCount_ = 0;
  // Slot numbers of the four segments the program uses; 0 when absent.
  int exifSlot_ = 0;
  int iptcSlot_ = 0;
  int commentSlot_ = 0;
  int jfifSlot_ = 0;
  bool readingTiff_ = false;
  std::string fileName_;
  double fileModifiedUnix_ = 0;
  int64_t fileSize_ = 0;
  std::string errorText_;
  std::unique_ptr<TImageInfo> exif_;
  std::vector<TTagEntry> spareTags_;  // an emptied tag list, kept for its memory
  std::unique_ptr<TIPTCdata> iptc_;
};

}  // namespace pixmeta
