// TImageInfo: the EXIF object. It walks the TIFF directories of an EXIF block into a tag
// list of display texts and keeps the facts that edits and reports need (positions of the
// dates, dimensions, user comment, thumbnail pointer).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "records/byte_reader.h"
#include "exif/maker_note_host.h"
#include "records/tag_entry.h"
#include "util/string_list.h"

namespace pixmeta {

class TimgData;

// What the walker builds for each entry.
enum ListMode : int32_t { kListTexts = 2, kListTags = 4, kListBoth = 255 };

class TImageInfo final : public tEndInd, public SubFieldSink, public MakerNoteHost {
 public:
  TImageInfo(TimgData& owner, int32_t listMode, bool isTiff, MakerNoteReader makerNoteReader);

  // Walks one directory at string position start and the sub-directories it points to;
  // base is the string position of TIFF offset 0, kind a DirectoryKind.
  void ParseDirectory(int64_t start, int64_t base, int kind, int64_t length);

  // Index of the first entry named name (ignoring letter case), or -1.
  int LookupIndex(std::string_view name) const;
  std::string LookupValue(std::string_view name) const;
  // A copy of the entry named name, or an empty entry (tag 0).
  TTagEntry GetEntry(std::string_view name) const;
  double GetNumber(std::string_view name) const;
  int32_t GetInt(std::string_view name) const;

  // Appends a copy of an entry with a tag number; returns the index of the last entry.
  int AddEntry(TTagEntry entry);
  // An entry of a decoder's sub-field: id 1, the text as its value, no raw bytes.
  void AddTextEntry(const TagRow& row, std::string_view text, int32_t dataType) override;

  bool HasThumbnail() const { return thumbOffset > 21 && thumbLength > 256; }

  // Adds FocalLengthin35mmFilm from the focal length and the sensor size, when the block
  // has no such tag and the sensor size can be worked out.
  void Derive35mm();

  // Dates are day counts, 0 for none. The date-time of the 19 bytes at position pos; 0 when
  // they are not a valid date or do not lie in the block.
  double ReadDateAt(int64_t pos) const;
  // DateTimeOriginal, else DateTimeDigitized, else DateTime.
  double BestDate() const;
  // Writes date as "yyyy:mm:dd hh:nn:ss" at pos, leaving the terminator after it; false, and
  // nothing written, when the 19 bytes do not lie in the block or the date has no such text.
  bool WriteDateAt(int64_t pos, double date);

  // Edits in place. They patch the container's EXIF segment at the positions the walk
  // recorded, in the block's byte order. The entries' texts and the fields below keep what
  // was read; the entries' raw bytes view the segment and so show the edit. A write that
  // does not lie in the segment writes nothing.

  // Whether the walk notes where values lie; without those notes every byte counts as
  // shared, so nothing can be edited.
  bool notesSpans = true;
  // Whether the count bytes from pos hold part of a value, a directory or a maker note
  // other than the one value that starts at pos: some cameras write values that overlap,
  // and writing one would change another.
  bool SharesBytes(int64_t pos, int64_t count) const;
  // The same for the value of the first entry named name; false without one.
  bool ValueSharesBytes(std::string_view name) const;

  enum class DateShift { Shifted, NothingToShift, SharedBytes };
  // Moves DateTime, DateTimeOriginal and DateTimeDigitized by the same offset; a field that
  // does not hold a valid date is left as it is. Nothing is written when no field holds a
  // date, or when a date shares its bytes with another value.
  DateShift ShiftDates(int32_t days, int32_t hours, int32_t minutes, int32_t seconds);
  // Overwrites the first element of a 2- or 4-byte numeric entry; whether it wrote.
  bool SetValueByName(std::string_view name, int32_t value);
  // Overwrites a value with text, cut or padded with zero bytes to the value's size, whose
  // last byte stays 0; whether it wrote.
  bool SetTextByName(std::string_view name, std::string_view text);
  // Unlinks IFD1, and cuts the block before it when IFD1, its values and the thumbnail are
  // all that lies from there to the block's end (padding aside); false when the block has
  // no IFD1 link or the link shares its bytes with a value.
  bool RemoveThumbnail();
  // Writes the image's height and width over the entries that gave height and width, each
  // in the width of its SHORT or LONG; nothing when either was 0 or both are unchanged, and
  // not a value its entry cannot hold.
  void UpdateDimensions(int32_t newHeight, int32_t newWidth);

  // Adds "name=value" for every entry with a value text, when the block was read without
  // error.
  void NameValueList(StringList& out) const;
  // Adds the tag list as an XML-like block.
  void ExifXml(StringList& out) const;

  // MakerNoteHost
  std::string_view CameraMake() const override { return cameraMake; }
  std::string_view CameraModel() const override { return cameraModel; }
  std::string_view ExifVersion() const override { return exifVersion; }
  std::string_view MakerNoteRaw() const override { return makerNoteRaw; }
  int64_t MakerNotePos() const override { return makerNotePos; }
  int64_t TiffBase() const override { return isTiff ? kTiffFileBase : kJpegBase; }
  bool IsTiff() const override { return isTiff; }
  bool BigEndian() const override { return bigEndian; }
  void SetBigEndian(bool value) override { bigEndian = value; }
  void ParseMakerDirectory(std::string_view makerBytes, std::span<const TagRow> table,
                           int64_t exifBase, int64_t relBase, int64_t dirOffset) override;

  // String positions of TIFF offset 0: after "Exif\0\0" in an APP1 segment (behind its two
  // length bytes), and in a TIFF file whose bytes are kept from offset 8 on.
  static constexpr int64_t kJpegBase = 9;
  static constexpr int64_t kTiffFileBase = -7;

  // Entries view their raw bytes in the EXIF block, which the container keeps unmoved.
  std::vector<TTagEntry> tags;
  std::string exifVersion;
  std::string cameraMake;
  std::string cameraModel;
  std::string dateTimeText;
  int32_t height = 0;
  int32_t width = 0;
  int64_t heightPos = 0;
  int64_t widthPos = 0;
  int32_t flashValue = 0;
  int32_t listMode;
  std::string_view makerNoteRaw;  // a view of the EXIF bytes
  bool isTiff;
  std::string userComment;
  int64_t userCommentPos = 0;
  int64_t userCommentLen = 0;
  int64_t dateTimePos = 0;
  int64_t dateTimeOriginalPos = 0;
  int64_t dateTimeDigitizedPos = 0;
  int64_t thumbOffset = 0;
  int64_t thumbLength = 0;
  int64_t makerNotePos = 0;
  bool makerNoteKnown = false;

 private:
  // The value text of an entry as the main walker makes it.
  std::string ValueText(std::string_view raw, int32_t type, const TagRow& row);
  void ApplySpecialTag(uint16_t tag, int64_t p, std::string_view raw, int32_t type,
                       std::string_view text, int64_t base, int64_t length);
  void FollowDirectory(int64_t pointerPos, int64_t base, int kind, int64_t length);
  bool Visited(int64_t start, int64_t base) const;
  // The date-time at pos; none when it is not a valid one or does not lie in the block.
  std::optional<double> TryReadDateAt(int64_t pos) const;
  // Notes that the walk uses count bytes from pos.
  void NoteReferenced(int64_t pos, int64_t count);
  // Notes where a value or a directory's entry table lies in the EXIF block: raw views the
  // block, or the maker note inside it.
  void NoteBytes(std::string_view raw, bool table);
  // Writes bytes at pos unless they share bytes with another value.
  bool Patch(int64_t pos, std::string_view bytes);
  // Whether IFD1, its values, its thumbnail and padding are all that lies from IFD1 on.
  bool Ifd1IsTheTail(int64_t ifd1Pos) const;
  bool WriteDimension(int64_t pos, int32_t type, int32_t value);

  TimgData& owner_;
  MakerNoteReader makerNoteReader_;
  // Real blocks have a handful of directories; this bound keeps a hostile block from
  // walking the same bytes over and over.
  static constexpr size_t kMaxDirectories = 64;
  // Per directory walked, in order: its (position, base), and [start, end) of its entry
  // table (empty when its count could not be read or it was too large).
  std::array<std::pair<int64_t, int64_t>, kMaxDirectories> visited_{};
  std::array<std::pair<int64_t, int64_t>, kMaxDirectories> tables_{};
  size_t walkedCount_ = 0;
  int32_t heightType_ = 0;  // data types of the entries at heightPos and widthPos
  int32_t widthType_ = 0;
  int64_t nextIfdPos_ = 0;  // where thumbOffset was read
  // One past the last byte of the directories and values walked, maker-note values too.
  int64_t referencedEnd_ = 0;
  // Where each value and entry table the walk met lies, [start, end) in block positions.
  struct Span {
    int64_t start = 0;
    int64_t end = 0;
    bool table = false;
  };
  std::vector<Span> spans_;
  // Real blocks hold a few hundred values; past this bound every byte counts as shared, so
  // a hostile block costs neither memory nor time and is never edited.
  static constexpr size_t kMaxSpans = 1 << 16;
  std::string_view block_;  // the EXIF block the walk started in
  int depth_ = 0;
  // Bytes of value text held by the tag list. Entries whose values all point at the same
  // long bytes would otherwise make a 64 KB block hold gigabytes of copies.
  static constexpr size_t kMaxListedText = 4 << 20;
  size_t listedText_ = 0;
  // Counts text about to be listed; false (the entry is left out) once the budget is spent.
  bool TakeListedText(size_t bytes);
  std::string scratch_;  // the value text being made, kept to reuse its memory
};

}  // namespace pixmeta
