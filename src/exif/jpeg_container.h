// TimgData: the container of one JPEG (or TIFF-family) file's metadata. It walks the marker
// segments up to the start of scan, keeps their bytes in a fixed table of slots, and owns
// the EXIF object made from the APP1 segment and the IPTC object of the APP13 segment.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "records/byte_reader.h"
#include "exif/image_info.h"
#include "exif/jpeg_codec.h"
#include "exif/maker_note_host.h"
#include "platform/file_system.h"
#include "iptc/iptc_data.h"
#include "util/string_list.h"

namespace pixmeta {

class JpegImage;
class HeaderSplices;

// One kept segment.
struct tSection {
  // The two length bytes (big-endian), then the payload: a view of the file's head as the
  // container read it, or of a segment the program made.
  std::string_view bytes;
  uint32_t marker = 0;  // the marker code, such as 0xE1 for APP1
  int32_t length = 0;   // the length field: payload + 2
  // Where the file's segment that the slot holds, or replaces, stands (the 0xFF before its
  // marker code); -1 for a segment the program added.
  int64_t fileOffset = -1;
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
  // Whether LoadFile reads the file under this name as a JPEG (its extension decides).
  static bool ReadsAsJpeg(const std::string& path);
  // The same on a file the caller opened (or failed to open) for every reader of it.
  bool LoadFile(const std::string& path, platform::OpenedFile& opened);
  void Reset();
  // Whether loads note where each EXIF value lies, which the EXIF edits need to refuse
  // writing bytes that other values share (on by default); a run that only reads saves
  // the work.
  void NoteValuePlaces(bool note) { noteValuePlaces_ = note; }

  bool HasExif() const { return exifSlot_ != 0; }
  bool HasThumbnail() const;
  bool HasIptc() const { return iptcSlot_ != 0; }
  bool HasComment() const { return commentSlot_ != 0; }
  bool HasMetadata() const { return HasExif() || HasComment() || HasIptc(); }

  std::string GetComment() const;
  // Segment bytes and the views into them. Every view (slots, the EXIF object's buffer and
  // entries, the IPTC object's segment) points into memory that stays put, unchanged in
  // size, until Reset, which drops the EXIF and IPTC objects before that memory: the file's
  // head, and each segment the program made, kept whole. An edit that keeps a segment's
  // length patches its bytes in place, where every view sees it; one that changes a length
  // makes a new segment or shortens the slot's view, and never moves or frees bytes that
  // something may still view.

  // Writes bytes over the EXIF segment's bytes from position pos (as the EXIF object counts
  // positions), keeping its length, and notes the range as edited; false, and nothing
  // written, without an EXIF segment or when the bytes do not lie in it.
  bool PatchExif(int64_t pos, std::string_view bytes);
  // Shortens the EXIF segment to length bytes (its length field included) and stores the
  // new length in that field; false when there is none or it is not longer.
  bool ShortenExif(size_t length);
  // The [position, end) ranges of the EXIF segment that edits wrote, and whether an edit
  // shortened it.
  const std::vector<std::pair<int64_t, int64_t>>& ExifPatches() const { return exifPatches_; }
  bool ExifShortened() const { return exifShortened_; }
  // Whether SetComment replaced or added the comment segment since the load.
  bool CommentSet() const { return commentSet_; }
  // Replace the comment or APP13 segment, or append it in a new slot; false when the text
  // does not fit a segment or no slot is left.
  bool SetComment(std::string_view text);
  bool SetIptcBytes(std::string_view payload) override;
  // An empty APP13 segment and a new, empty IPTC object; false when no slot is left.
  bool CreateEmptyIptc();

  // Replaces the file under path with image's file (which the container was loaded from)
  // as it stands but for the segments edited since the load: the EXIF, comment and APP13
  // segments are replaced where they stand, and a comment or APP13 segment the file did not
  // have is added; every other byte is kept. With updateDimensions the EXIF pixel size is
  // set from the image's frame first. Before the file is replaced, the new header is read
  // again and must read as the old one but for the edits. The original stays as it was
  // when anything fails: false, with errorText. alter, when given, changes the new header
  // before that check, so tests can see the check refuse a header that went wrong.
  using HeaderAlteration = std::function<void(std::string& header)>;
  bool SaveWithImage(const JpegImage& image, const std::string& path, bool updateDimensions,
                     std::string& errorText, const HeaderAlteration& alter = {});

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
  MakerNoteReader MakerReader() const { return makerNoteReader_; }
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
  // Joins an image-resource block split over several APP13 segments for its readers.
  void JoinIptcSegments();
  // Notes in splices what the edits since the load change in image's header; false, with
  // errorText, when an edited segment is no longer where it was read.
  bool PlanSplices(const JpegImage& image, HeaderSplices& splices, std::string& errorText) const;
  // Notes the IPTC object's key edits as the file's image-resource segments edited in place,
  // or as a new APP13 segment at newAt; false, with errorText, when they cannot be made.
  bool PlanIptc(const std::vector<JpegImage::Segment>& segments, uint64_t newAt,
                HeaderSplices& splices, std::string& errorText) const;
  tSection& SlotRef(int n) { return slots_.at(static_cast<size_t>(n - 1)); }

  int32_t listMode_;
  MakerNoteReader makerNoteReader_;
  platform::ByteBuffer head_;  // the file's first bytes, which the slots view
  // Segments the program made since the load; never changed, freed by Reset. Both are
  // declared before the objects that view them, so those go first when the container does.
  std::vector<std::unique_ptr<const std::string>> madeSegments_;
  std::array<tSection, kSlotCount> slots_;
  int slotCount_ = 0;
  // Slot numbers of the four segments the program uses; 0 when absent.
  int exifSlot_ = 0;
  int iptcSlot_ = 0;
  int commentSlot_ = 0;
  int jfifSlot_ = 0;
  // The APP13 bytes the IPTC object reads: the iptc slot's, or several joined.
  std::string_view iptcBytes_;
  std::vector<std::pair<int64_t, int64_t>> exifPatches_;
  bool exifShortened_ = false;
  bool commentSet_ = false;
  bool readingTiff_ = false;
  bool noteValuePlaces_ = true;
  std::string fileName_;
  double fileModifiedUnix_ = 0;
  int64_t fileSize_ = 0;
  std::string errorText_;
  std::unique_ptr<TImageInfo> exif_;
  std::vector<TTagEntry> spareTags_;  // an emptied tag list, kept for its memory
  std::unique_ptr<TIPTCdata> iptc_;
};

}  // namespace pixmeta
