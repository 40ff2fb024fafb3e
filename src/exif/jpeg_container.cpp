#include "exif/jpeg_container.h"

#include <algorithm>
#include <utility>

#include "exif/tag_dictionary.h"
#include "iptc/photoshop_resources.h"
#include "platform/clock.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "util/path_parts.h"

namespace pixmeta {
namespace {

constexpr uint8_t kMarkerApp0 = 0xE0;
constexpr uint8_t kMarkerApp1 = 0xE1;
constexpr uint8_t kMarkerApp13 = 0xED;
constexpr uint8_t kMarkerCom = 0xFE;
constexpr uint8_t kMarkerSos = 0xDA;
constexpr uint8_t kMarkerEoi = 0xD9;
constexpr int kFirstSegmentsWithExif = 5;
constexpr size_t kMaxPayload = 65533;  // a segment's length field counts at most 65535

enum class Reader { Jpeg, Tiff, None };

Reader ReaderFor(const std::string& path) {
  const std::string ext = platform::LowerCase(ExtensionPart(path));
  if (ext == ".jpg" || ext == ".jpeg" || ext == ".jpe") return Reader::Jpeg;
  if (ext == ".tif" || ext == ".tiff" || ext == ".nef") return Reader::Tiff;
  return Reader::None;
}

}  // namespace

bool TimgData::ReadsAsJpeg(const std::string& path) { return ReaderFor(path) == Reader::Jpeg; }

TimgData::TimgData(int32_t listMode, MakerNoteReader makerNoteReader)
    : listMode_(listMode), makerNoteReader_(makerNoteReader) {}

TimgData::~TimgData() = default;

void TimgData::Reset() {
  slotCount_ = 0;
  exifSlot_ = iptcSlot_ = commentSlot_ = jfifSlot_ = 0;
  iptcBytes_ = {};
  exifPatches_.clear();
  exifShortened_ = commentSet_ = false;
  fileName_.clear();
  fileModifiedUnix_ = 0;
  fileSize_ = 0;
  errorText_.clear();
  // The tag list's memory is kept for the next file that is loaded.
  if (exif_) {
    spareTags_ = std::move(exif_->tags);
    spareTags_.clear();
  }
  exif_.reset();
  iptc_.reset();
  madeSegments_.clear();
  bigEndian = false;
  buffer = {};
}

bool TimgData::LoadFile(const std::string& path) {
  if (ReaderFor(path) == Reader::None) {
    // A file that is not read is only looked up by name.
    platform::OpenedFile unopened;
    unopened.failure = platform::InputFile::Failure::Unreadable;
    return LoadFile(path, unopened);
  }
  platform::OpenedFile opened = platform::OpenForReading(path);
  return LoadFile(path, opened);
}

bool TimgData::LoadFile(const std::string& path, platform::OpenedFile& opened) {
  Reset();
  const Reader reader = ReaderFor(path);
  std::optional<platform::InputFile>& file = opened.file;
  std::optional<platform::FileInfo> info;
  if (file) {
    info = file->Info();
  } else if (opened.failure != platform::InputFile::Failure::Missing) {
    info = platform::StatFile(path);
  }
  if (!info) return false;
  fileName_ = path;
  fileModifiedUnix_ = info->modifiedUnix;
  fileSize_ = info->size;
  errorText_ = "Not an EXIF file";
  if (reader == Reader::None) return false;
  if (!file) {
    errorText_ = "Illegal Exif construction";
    return false;
  }
  if (!file->Seek(0)) return false;
  const bool read = reader == Reader::Jpeg ? ReadJpegSegments(*file) : ReadTiffBlock(*file);
  if (read) errorText_ = kNoError;
  return read;
}

double TimgData::FileDate() const { return platform::UnixToLocalDays(fileModifiedUnix_); }

bool TimgData::ReadJpegSegments(platform::InputFile& file) {
  readingTiff_ = false;
  // The segments stay in the file's head; their places are noted while it may still grow,
  // and the EXIF block is parsed once the head is the container's.
  std::array<std::pair<size_t, size_t>, kSlotCount> places{};
  const bool found = WalkSegments(file, places);
  head_ = file.ReleaseHead();
  for (int n = 1; n <= slotCount_; ++n) {
    const auto [start, size] = places[static_cast<size_t>(n - 1)];
    tSection& slot = SlotRef(n);
    slot.bytes = head_.view().substr(start, size);
    slot.fileOffset = static_cast<int64_t>(start) - 2;
  }
  if (iptcSlot_ != 0) JoinIptcSegments();
  if (exifSlot_ != 0) {
    CreateExif();
    buffer = SlotRef(exifSlot_).bytes;
    ParseJpegExif();
  }
  return found;
}

bool TimgData::WalkSegments(platform::InputFile& file,
                            std::array<std::pair<size_t, size_t>, kSlotCount>& places) {
  char soi[2];
  if (file.Read(soi, 2) != 2 || soi[0] != '\xFF' || soi[1] != '\xD8') return false;
  slotCount_ = 0;
  bool iptcHoldsResources = false;
  while (slotCount_ < kReadableSlots) {
    // Fill bytes before the marker code are skipped; the end of the file ends the read.
    std::optional<unsigned char> marker = file.ReadByte();
    while (marker == 0xFF) marker = file.ReadByte();
    if (!marker) return false;
    // Segments are kept in the head; a file whose fill bytes run past its reach ends here.
    if (file.Position() > file.Head().size()) break;
    const auto start = static_cast<size_t>(file.Position());
    const std::optional<unsigned char> hi = file.ReadByte();
    const std::optional<unsigned char> lo = file.ReadByte();
    if (!hi || !lo) return false;
    ++slotCount_;
    tSection& slot = SlotRef(slotCount_);
    slot.marker = *marker;
    slot.length = *hi * 256 + *lo;
    auto& [place, size] = places[static_cast<size_t>(slotCount_ - 1)];
    place = start;
    size = 2;
    // A segment that is shorter than its length field, or cut by the end of the file, is
    // abandoned: it keeps its slot but is not looked at.
    if (slot.length < 2) continue;
    const auto rest = static_cast<size_t>(slot.length - 2);
    const size_t read = file.ReadIntoHead(rest);
    size += read;
    if (read != rest) continue;

    if (slotCount_ == kFirstSegmentsWithExif && !HasMetadata()) break;
    switch (slot.marker) {
      case kMarkerEoi:
      case kMarkerSos:
        return HasMetadata();
      case kMarkerApp0:
        jfifSlot_ = slotCount_;
        break;
      case kMarkerApp1:
        if (slotCount_ > kFirstSegmentsWithExif || exifSlot_ != 0) {
          --slotCount_;  // a further APP1 (such as XMP) is not kept; the next segment reuses the slot
          break;
        }
        // An APP1 of another kind (XMP) may come first; it stays in its slot.
        if (file.Head().substr(start + 2, 4) == "Exif") exifSlot_ = slotCount_;
        break;
      case kMarkerApp13: {
        // The first APP13 holding image resources is the IPTC one, else the first APP13.
        const bool resources = file.Head().substr(start + 2).starts_with(kPhotoshopSignature);
        if (iptcSlot_ == 0 || (resources && !iptcHoldsResources)) {
          iptcSlot_ = slotCount_;
          iptcHoldsResources = resources;
          if (!iptc_) iptc_ = std::make_unique<TIPTCdata>(*this);
        }
        break;
      }
      case kMarkerCom:
        commentSlot_ = slotCount_;
        break;
      default:
        break;
    }
  }
  return HasMetadata();
}

bool TimgData::ReadTiffBlock(platform::InputFile& file) {
  readingTiff_ = true;
  char order[2];
  char skipped[6];
  const bool header = file.Read(order, 2) == 2 && order[0] == order[1] &&
                      (order[0] == 'I' || order[0] == 'M') && file.Read(skipped, 6) == 6;
  if (!header) {
    readingTiff_ = false;
    return false;
  }
  const size_t read = file.ReadIntoHead(kTiffReadLimit);
  head_ = file.ReleaseHead();
  tSection& slot = SlotRef(1);
  slot.bytes = head_.view().substr(8, read);
  slot.fileOffset = 8;
  slot.marker = 0;
  slot.length = static_cast<int32_t>(slot.bytes.size());
  slotCount_ = 1;
  exifSlot_ = 1;
  bigEndian = order[0] == 'M';
  buffer = slot.bytes;
  CreateExif();
  exif_->bigEndian = bigEndian;
  exif_->buffer = buffer;
  // The walk starts at file offset 8 whatever the header's own IFD offset says.
  exif_->ParseDirectory(1, TImageInfo::kTiffFileBase, kMainDirectory, kTiffReadLimit);
  exif_->Derive35mm();
  readingTiff_ = false;
  return true;
}

void TimgData::CreateExif() {
  exif_ = std::make_unique<TImageInfo>(*this, listMode_, readingTiff_, makerNoteReader_);
  exif_->notesSpans = noteValuePlaces_;
  exif_->tags = std::move(spareTags_);
  spareTags_.clear();
}

void TimgData::ParseJpegExif() {
  if (!exif_) CreateExif();
  // Read through the checked view: a segment may end anywhere, even inside its identifier.
  const std::string_view view = SlotRef(exifSlot_).bytes;
  if (ClampedBytes(view, 3, 4) != "Exif") {
    errorText_ = "Incorrect Exif header";
    return;
  }
  const std::string_view order = ClampedBytes(view, 9, 2);
  if (order != "II" && order != "MM") {
    errorText_ = "Invalid Exif alignment marker";
    return;
  }
  bigEndian = order == "MM";
  exif_->buffer = view;
  exif_->bigEndian = bigEndian;
  const int64_t base = TImageInfo::kJpegBase;
  if (const std::optional<uint32_t> ifd0 = exif_->Read32(13)) {
    const int64_t start = *ifd0 == 0 ? 17 : *ifd0 + base;
    exif_->ParseDirectory(start, base, kMainDirectory, SlotRef(exifSlot_).length - 6);
  }
  if (!errorText_.empty()) exif_->Derive35mm();
}

bool TimgData::HasThumbnail() const { return HasExif() && exif_ && exif_->HasThumbnail(); }

std::string TimgData::GetComment() const {
  if (commentSlot_ == 0) return {};
  const std::string_view bytes = Slot(commentSlot_).bytes;
  if (bytes.size() < 2) return {};
  const int n = static_cast<unsigned char>(bytes[0]) * 256 + static_cast<unsigned char>(bytes[1]);
  if (n <= 2) return {};
  return std::string(ClampedBytes(bytes, 3, n - 2));
}

void TimgData::JoinIptcSegments() {
  iptcBytes_ = Slot(iptcSlot_).bytes;
  if (!iptcBytes_.substr(2).starts_with(kPhotoshopSignature)) return;
  // Resources too large for one segment go on in the next ones, each with its own signature.
  std::unique_ptr<std::string> joined;
  for (int n = iptcSlot_ + 1; n <= slotCount_; ++n) {
    const std::string_view stream = joined ? std::string_view(*joined) : iptcBytes_;
    if (ParseResources(stream.substr(2 + kPhotoshopSignature.size())).rest.empty()) break;
    const tSection& slot = Slot(n);
    if (slot.marker != kMarkerApp13 || !slot.bytes.substr(2).starts_with(kPhotoshopSignature)) {
      continue;
    }
    if (!joined) joined = std::make_unique<std::string>(iptcBytes_);
    joined->append(slot.bytes.substr(2 + kPhotoshopSignature.size()));
  }
  if (!joined) return;
  iptcBytes_ = *joined;
  madeSegments_.push_back(std::move(joined));
}

bool TimgData::StoreSegment(int& slotRef, uint32_t marker, std::string_view payload) {
  if (payload.size() > kMaxPayload) return false;
  if (slotRef == 0) {
    if (slotCount_ >= kSlotCount) return false;
    slotRef = ++slotCount_;
    SlotRef(slotRef).fileOffset = -1;
  }
  // A replaced slot still stands for the file's segment it replaces.
  tSection& slot = SlotRef(slotRef);
  const size_t n = payload.size() + 2;
  auto made = std::make_unique<std::string>();
  made->reserve(n);
  made->push_back(static_cast<char>(n >> 8));
  made->push_back(static_cast<char>(n & 0xFF));
  made->append(payload);
  slot.bytes = *made;
  slot.length = static_cast<int32_t>(n);
  slot.marker = marker;
  madeSegments_.push_back(std::move(made));
  if (marker == kMarkerApp13) {
    iptcBytes_ = slot.bytes;
  } else {
    commentSet_ = true;
  }
  return true;
}

bool TimgData::PatchExif(int64_t pos, std::string_view bytes) {
  if (exifSlot_ == 0) return false;
  const std::string_view slot = Slot(exifSlot_).bytes;
  if (!FitsIn(slot.size(), pos, static_cast<int64_t>(bytes.size()))) return false;
  // The EXIF segment is always a view of the head, which the container owns.
  char* start = head_.data() + (slot.data() - head_.data());
  std::copy(bytes.begin(), bytes.end(), start + (pos - 1));
  exifPatches_.emplace_back(pos, pos + static_cast<int64_t>(bytes.size()));
  return true;
}

bool TimgData::ShortenExif(size_t length) {
  if (exifSlot_ == 0) return false;
  tSection& slot = SlotRef(exifSlot_);
  if (length < 2 || length >= slot.bytes.size()) return false;
  char* bytes = head_.data() + (slot.bytes.data() - head_.data());
  bytes[0] = static_cast<char>(length >> 8);
  bytes[1] = static_cast<char>(length & 0xFF);
  exifShortened_ = true;
  slot.bytes = slot.bytes.substr(0, length);
  slot.length = static_cast<int32_t>(length);
  buffer = slot.bytes;
  if (exif_) exif_->buffer = slot.bytes;
  return true;
}

bool TimgData::SetComment(std::string_view text) {
  return StoreSegment(commentSlot_, kMarkerCom, text);
}

bool TimgData::SetIptcBytes(std::string_view payload) {
  return StoreSegment(iptcSlot_, kMarkerApp13, payload);
}

bool TimgData::CreateEmptyIptc() {
  if (!SetIptcBytes({})) return false;
  iptc_ = std::make_unique<TIPTCdata>(*this);
  return true;
}

std::string_view TimgData::IptcSegment() const { return iptcSlot_ != 0 ? iptcBytes_ : std::string_view(); }

std::string TimgData::ReadIptcSegment(const std::string& path) {
  TimgData other(kListTexts);
  other.LoadFile(path);
  return std::string(other.IptcSegment());
}

}  // namespace pixmeta
