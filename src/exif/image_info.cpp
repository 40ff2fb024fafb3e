#include "exif/image_info.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "exif/jpeg_container.h"
#include "exif/tag_dictionary.h"
#include "exif/value_format.h"
#include "platform/code_page.h"
#include "util/text_utils.h"

namespace pixmeta {
namespace {

// The special tags keep at most 40 characters of their texts.
constexpr size_t kSpecialTextHead = 256;
// Real blocks nest directories a few levels deep.
constexpr int kMaxDepth = 16;
// Maker-note walks stop adding entries here; a block can point many MakerNote tags at one
// large maker note.
constexpr size_t kMaxListedTags = 1 << 16;

constexpr uint16_t kTagImageWidth = 0x0100;
constexpr uint16_t kTagImageLength = 0x0101;
constexpr uint16_t kTagMake = 0x010F;
constexpr uint16_t kTagModel = 0x0110;
constexpr uint16_t kTagDateTime = 0x0132;
constexpr uint16_t kTagSubIfds = 0x014A;
constexpr uint16_t kTagExifOffset = 0x8769;
constexpr uint16_t kTagGpsInfo = 0x8825;
constexpr uint16_t kTagExifVersion = 0x9000;
constexpr uint16_t kTagDateTimeOriginal = 0x9003;
constexpr uint16_t kTagDateTimeDigitized = 0x9004;
constexpr uint16_t kTagFlash = 0x9209;
constexpr uint16_t kTagMakerNote = 0x927C;
constexpr uint16_t kTagUserComment = 0x9286;
constexpr uint16_t kTagExifImageWidth = 0xA002;
constexpr uint16_t kTagExifImageLength = 0xA003;
constexpr uint16_t kTagInteropOffset = 0xA005;

std::string Cut(std::string_view text, size_t n) { return std::string(text.substr(0, n)); }

// The tags ApplySpecialTag acts on, as a set of tag numbers, so that the others cost one
// test instead of a call.
constexpr uint16_t kSpecialTags[] = {
    kTagImageWidth, kTagExifImageWidth, kTagImageLength, kTagExifImageLength, kTagMake,
    kTagModel, kTagDateTime, kTagDateTimeOriginal, kTagDateTimeDigitized, kTagExifVersion,
    kTagFlash, kTagSubIfds, kTagExifOffset, kTagInteropOffset, kTagGpsInfo, kTagMakerNote};
constexpr std::array<uint64_t, 1024> kSpecialTagSet = [] {
  std::array<uint64_t, 1024> set{};
  for (const uint16_t tag : kSpecialTags) set[tag >> 6] |= uint64_t{1} << (tag & 63);
  return set;
}();
bool IsSpecialTag(uint16_t tag) { return (kSpecialTagSet[tag >> 6] >> (tag & 63)) & 1; }

bool SpecialTagUsesText(uint16_t tag) {
  return tag == kTagMake || tag == kTagModel || tag == kTagDateTime || tag == kTagDateTimeOriginal;
}

std::string_view UpToZero(std::string_view raw) { return raw.substr(0, raw.find('\0')); }

// Points a reader at other bytes for as long as it lives.
class ReadFrom {
 public:
  ReadFrom(tEndInd& reader, std::string_view bytes) : reader_(reader), saved_(reader.buffer) {
    reader_.buffer = bytes;
  }
  ~ReadFrom() { reader_.buffer = saved_; }
  ReadFrom(const ReadFrom&) = delete;
  ReadFrom& operator=(const ReadFrom&) = delete;
  std::string_view saved() const { return saved_; }

 private:
  tEndInd& reader_;
  std::string_view saved_;
};

void AssignQuoted(std::string& out, std::string_view text) {
  out.assign(1, '"');
  out += text;
  out += '"';
}

// The entry derived from the focal length: the dictionary's row with its own print format.
const TagRow& FocalLength35mmRow(const TagRow& dictionaryRow) {
  static const TagRow row = [&dictionaryRow] {
    TagRow derived = dictionaryRow;
    derived.printFormat = "%s mm";
    return derived;
  }();
  return row;
}

}  // namespace

TImageInfo::TImageInfo(TimgData& owner, int32_t mode, bool tiff, MakerNoteReader makerNoteReader)
    : listMode(mode), isTiff(tiff), owner_(owner), makerNoteReader_(makerNoteReader) {
  InitDictionary();
}

bool TImageInfo::Visited(int64_t start, int64_t base) const {
  const auto walked = std::span(visited_).first(walkedCount_);
  return std::find(walked.begin(), walked.end(), std::make_pair(start, base)) != walked.end();
}

std::string TImageInfo::ValueText(std::string_view raw, int32_t type, const TagRow& row) {
  std::string& text = scratch_;
  bool plainNumber = false;
  if (type == kTypeAscii) {
    text.assign(raw.substr(0, !raw.empty() && raw.back() == '\0' ? raw.size() - 1 : raw.size()));
  } else if (type == kTypeUndefined) {
    AssignQuoted(text, UpToZero(raw));
  } else {
    text.clear();
    AppendNumeric(text, raw, type, row.codes, row.printFormat, bigEndian);
    plainNumber = row.codes.empty() && row.printFormat.empty();
  }
  if (row.tag != 0 && row.decoder != nullptr) {
    DecodeContext context{.multiLine = false, .sink = this};
    return row.decoder(text, context);
  }
  return plainNumber ? CleanNumberText(text) : CleanText(text);
}

void TImageInfo::ParseDirectory(int64_t start, int64_t base, int kind, int64_t length) {
  if (walkedCount_ == kMaxDirectories) return;
  if (walkedCount_ == 0) block_ = buffer;
  visited_[walkedCount_] = {start, base};
  tables_[walkedCount_] = {0, 0};
  ++walkedCount_;
  const std::optional<uint16_t> count = Read16(start);
  if (!count) return;
  const int64_t n = *count;
  if (2 + 12 * n > base + length) {
    owner_.SetErrorText("Illegally sized directory");
    return;
  }
  // Real directories never share bytes. One whose entry table overlaps a table already
  // walked is taken as absent, so a block holds at most its size / 12 entries however its
  // pointers cross.
  const int64_t end = start + 2 + 12 * n;
  for (const auto& [walkedStart, walkedEnd] : std::span(tables_).first(walkedCount_ - 1)) {
    if (start < walkedEnd && walkedStart < end) return;
  }
  tables_[walkedCount_ - 1] = {start, end};
  NoteReferenced(start, end + 4 - start);  // the table and its next-directory offset
  NoteBytes(ClampedBytes(buffer, start, end - start), true);
  if (kind == kMainDirectory && thumbOffset == 0 && !isTiff) {
    if (const std::optional<uint32_t> next = Read32(end)) {
      thumbOffset = *next;
      thumbLength = base + length - thumbOffset;
      nextIfdPos_ = end;
    }
  }
  const std::string_view slot = buffer;
  if (listMode == kListTags || listMode == kListBoth) tags.reserve(tags.size() + static_cast<size_t>(n));
  for (int64_t i = 0; i < n; ++i) {
    const int64_t e = start + 2 + 12 * i;
    if (!FitsIn(slot.size(), e, 8)) continue;  // an entry outside the block is absent
    const uint16_t tag = Read16At(e);
    const uint16_t type = Read16At(e + 2);
    const int64_t size = static_cast<int64_t>(Read32At(e + 4)) * ElementSize(type);
    if (size == 0) continue;
    int64_t p = e + 8;
    if (size >= 5) {
      if (!FitsIn(slot.size(), e + 8, 4)) continue;
      p = Read32At(e + 8) + base;
    }
    const std::string_view raw = ClampedBytes(slot, p, size);
    if (size >= 5) NoteReferenced(p, static_cast<int64_t>(raw.size()));
    // A value cut short by the block's end is not one a camera wrote.
    if (notesSpans && static_cast<int64_t>(raw.size()) == size) NoteBytes(raw, false);
    const TagRow& row = FindRowByTag(tag, kind);
    // Once the list's text budget cannot take this value, it is not listed, and only the
    // head of it that a special tag keeps is made into text.
    const bool overBudget = listedText_ + raw.size() > kMaxListedText;

    // The text of a tag that is not kept is made only where a special tag needs it.
    std::string text;
    if ((listMode == kListTexts || listMode == kListBoth) && tag == kTagUserComment) {
      userComment = raw.size() > 8 ? Trim(raw.substr(8, raw.size() - 9)) : std::string_view();
      if (!overBudget) text = userComment;
      userCommentPos = p;
      userCommentLen = size - 9;
    } else if ((listMode == kListTexts || listMode == kListBoth) && overBudget) {
      if (SpecialTagUsesText(tag)) text = ValueText(raw.substr(0, kSpecialTextHead), type, row);
    } else if ((listMode == kListTexts || listMode == kListBoth) &&
               (row.tag != 0 || SpecialTagUsesText(tag))) {
      text = ValueText(raw, type, row);
    }
    if (IsSpecialTag(tag)) ApplySpecialTag(tag, p, raw, type, text, base, length);
    if ((listMode == kListTags || listMode == kListBoth) && row.tag != 0 && !overBudget &&
        TakeListedText(text.size())) {
      TTagEntry& entry = tags.emplace_back();
      entry.row = &row;
      entry.dataType = type;
      entry.text = std::move(text);
      entry.raw = raw;
      entry.position = static_cast<int32_t>(std::clamp<int64_t>(p, INT32_MIN, INT32_MAX));
      entry.size = static_cast<int32_t>(raw.size());
    }
  }
}

bool TImageInfo::TakeListedText(size_t bytes) {
  if (listedText_ + bytes > kMaxListedText) return false;
  listedText_ += bytes;
  return true;
}

void TImageInfo::NoteReferenced(int64_t pos, int64_t count) {
  if (count > 0) referencedEnd_ = std::max(referencedEnd_, pos + count);
}

void TImageInfo::FollowDirectory(int64_t pointerPos, int64_t base, int kind, int64_t length) {
  const std::optional<uint32_t> offset = Read32(pointerPos);
  if (!offset) return;
  const int64_t start = *offset + base;
  if (Visited(start, base) || walkedCount_ >= kMaxDirectories || depth_ >= kMaxDepth) return;
  ++depth_;
  ParseDirectory(start, base, kind, length);
  --depth_;
}

void TImageInfo::ApplySpecialTag(uint16_t tag, int64_t p, std::string_view raw, int32_t type,
                                 std::string_view text, int64_t base, int64_t length) {
  switch (tag) {
    case kTagImageWidth:
    case kTagExifImageWidth:
      widthPos = p;
      widthType_ = type;
      width = RoundHalfEven(NumericValue(raw, type, bigEndian));
      break;
    case kTagImageLength:
    case kTagExifImageLength:
      heightPos = p;
      heightType_ = type;
      height = RoundHalfEven(NumericValue(raw, type, bigEndian));
      break;
    case kTagMake:
      cameraMake = Cut(text, 32);
      break;
    case kTagModel:
      cameraModel = Cut(text, 40);
      break;
    case kTagDateTime:
      dateTimePos = p;
      dateTimeText = Cut(text, 20);
      break;
    case kTagDateTimeOriginal:
      dateTimeOriginalPos = p;
      dateTimeText = Cut(text, 20);
      break;
    case kTagDateTimeDigitized:
      dateTimeDigitizedPos = p;
      break;
    case kTagExifVersion:
      exifVersion = Cut(raw, 6);
      break;
    case kTagFlash:
      flashValue = RoundHalfEven(NumericValue(raw, type, bigEndian));
      break;
    case kTagSubIfds:
    case kTagExifOffset:
    case kTagInteropOffset:
      FollowDirectory(p, base, kMainDirectory, length);
      break;
    case kTagGpsInfo:
      FollowDirectory(p, base, kGpsDirectory, length);
      break;
    case kTagMakerNote:
      makerNoteRaw = raw;
      makerNotePos = p;
      makerNoteKnown = makerNoteReader_ != nullptr && makerNoteReader_(*this);
      break;
    default:
      break;
  }
}

void TImageInfo::ParseMakerDirectory(std::string_view makerBytes,
                                     std::span<const TagRow> table, int64_t exifBase,
                                     int64_t relBase, int64_t dirOffset) {
  const ReadFrom makerReader(*this, makerBytes);
  const std::string_view exifBytes = makerReader.saved();
  const auto fail = [&](const char* message) {
    owner_.SetErrorText(std::string("Error Detected = ") + message);
  };
  const std::optional<uint16_t> count = Read16(dirOffset + 1);
  if (!count) {
    fail("maker note shorter than its directory");
    return;
  }
  const auto makerSize = static_cast<int64_t>(makerBytes.size());
  NoteBytes(ClampedBytes(makerBytes, dirOffset + 1, 2 + 12 * int64_t{*count}), true);
  for (int64_t i = 0; i < *count && tags.size() < kMaxListedTags; ++i) {
    const int64_t h = dirOffset + 12 * i + 3;
    // The whole entry must be there: a cut-off value field would be taken for an offset.
    if (!FitsIn(makerSize, h, 12)) {
      fail("maker-note entry outside the maker note");
      break;
    }
    const uint16_t tag = Read16At(h);
    const uint16_t type = Read16At(h + 2);
    const uint32_t field = Read32At(h + 8);
    const int64_t size = static_cast<int64_t>(Read32At(h + 4)) * ElementSize(type);
    int64_t valuePos = h + 8;
    int64_t m = 0;
    if (size >= 5) {
      m = field;
      valuePos = m + dirOffset - relBase + 2;
    }
    // A value that does not lie in the maker note is read from the EXIF block, with
    // clamping: one that starts outside it is empty, and the walk goes on.
    const bool inside = valuePos >= 1 && valuePos + size - 1 <= makerSize;
    const std::string_view raw = inside ? ClampedBytes(makerBytes, valuePos, size)
                                        : ClampedBytes(exifBytes, exifBase + m, size);
    if (!inside) NoteReferenced(exifBase + m, static_cast<int64_t>(raw.size()));
    if (notesSpans && static_cast<int64_t>(raw.size()) == size) NoteBytes(raw, false);
    if (listedText_ + raw.size() > kMaxListedText) continue;
    const int rowIndex = FindTableIndex(tag, table);
    // An entry without a row is neither decoded nor listed.
    if (rowIndex < 0 || (listMode != kListTags && listMode != kListBoth)) continue;
    const TagRow& row = table[static_cast<size_t>(rowIndex)];
    if (platform::EqualNoCase(row.desc, "SKIP")) continue;

    std::string& text = scratch_;
    bool plainNumber = false;
    if (type == kTypeAscii) {
      AssignQuoted(text, UpToZero(raw));
    } else if (type == kTypeUndefined) {
      AssignQuoted(text, raw);
    } else {
      text.clear();
      const std::string_view codes = FindTableCodes(tag, table);
      AppendNumeric(text, raw, type, codes, row.printFormat, bigEndian);
      plainNumber = codes.empty() && row.printFormat.empty();
    }
    DecodeContext context{.multiLine = false, .sink = this};
    std::string display = row.decoder != nullptr ? row.decoder(text, context)
                          : plainNumber         ? CleanNumberText(text)
                                                : CleanText(text);
    if (!TakeListedText(context.multiLine ? scratch_.size() : display.size())) continue;
    TTagEntry& entry = tags.emplace_back();
    entry.row = &row;
    entry.id = 1;
    entry.dataType = type;
    entry.raw = raw;
    entry.size = static_cast<int32_t>(raw.size());
    // The decoder's sub-fields come before the entry itself.
    entry.text = context.multiLine ? scratch_ : std::move(display);
  }
}

int TImageInfo::LookupIndex(std::string_view name) const {
  for (size_t i = 0; i < tags.size(); ++i) {
    if (platform::EqualNoCase(tags[i].name(), name)) return static_cast<int>(i);
  }
  return -1;
}

std::string TImageInfo::LookupValue(std::string_view name) const {
  const int i = LookupIndex(name);
  return i >= 0 ? tags[static_cast<size_t>(i)].text : std::string();
}

TTagEntry TImageInfo::GetEntry(std::string_view name) const {
  const int i = LookupIndex(name);
  return i >= 0 ? tags[static_cast<size_t>(i)] : TTagEntry();
}

double TImageInfo::GetNumber(std::string_view name) const {
  const int i = LookupIndex(name);
  if (i < 0) return 0;
  const TTagEntry& e = tags[static_cast<size_t>(i)];
  return NumericValue(e.raw, e.dataType, bigEndian);
}

int32_t TImageInfo::GetInt(std::string_view name) const { return RoundHalfEven(GetNumber(name)); }

std::optional<double> TImageInfo::TryReadDateAt(int64_t pos) const {
  constexpr int64_t kDateSize = 19;
  if (!FitsIn(buffer.size(), pos, kDateSize)) return std::nullopt;
  return TryParseExifDate(buffer.substr(static_cast<size_t>(pos - 1), kDateSize));
}

double TImageInfo::ReadDateAt(int64_t pos) const { return TryReadDateAt(pos).value_or(0); }

double TImageInfo::BestDate() const {
  for (const int64_t pos : {dateTimeOriginalPos, dateTimeDigitizedPos, dateTimePos}) {
    if (pos > 0) return ReadDateAt(pos);
  }
  return 0;
}

int TImageInfo::AddEntry(TTagEntry entry) {
  if (entry.tag() != 0) tags.push_back(std::move(entry));
  return static_cast<int>(tags.size()) - 1;
}

void TImageInfo::AddTextEntry(const TagRow& row, std::string_view text, int32_t dataType) {
  if (!TakeListedText(text.size())) return;
  TTagEntry& entry = tags.emplace_back();
  entry.row = &row;
  entry.id = 1;
  entry.dataType = dataType;
  entry.text = text;
  entry.size = static_cast<int32_t>(text.size());
}

void TImageInfo::Derive35mm() {
  // The first entry of each name it reads, as GetNumber finds it, from one pass over the
  // list; names are told apart by their length first.
  enum Name { kPresent, kPlaneUnit, kUnit, kFocal, kPlaneX, kPlaneY, kNames };
  static constexpr std::string_view kNamesRead[kNames] = {
      "FocalLengthin35mmFilm", "FocalPlaneResolutionUnit", "ResolutionUnit", "FocalLength",
      "FocalPlaneXResolution", "FocalPlaneYResolution"};
  const TTagEntry* found[kNames] = {};
  const auto note = [&](const TTagEntry& entry, std::string_view name, Name which) {
    if (found[which] == nullptr && platform::EqualNoCase(name, kNamesRead[which])) {
      found[which] = &entry;
    }
  };
  for (const TTagEntry& entry : tags) {
    const std::string_view name = entry.name();
    switch (name.size()) {
      case 11:
        note(entry, name, kFocal);
        break;
      case 14:
        note(entry, name, kUnit);
        break;
      case 21:
        note(entry, name, kPresent);
        note(entry, name, kPlaneX);
        note(entry, name, kPlaneY);
        break;
      case 24:
        note(entry, name, kPlaneUnit);
        break;
      default:
        break;
    }
  }
  if (found[kPresent] != nullptr) return;
  const auto number = [&](Name which) {
    const TTagEntry* e = found[which];
    return e != nullptr ? NumericValue(e->raw, e->dataType, bigEndian) : 0.0;
  };
  int32_t unit = RoundHalfEven(number(kPlaneUnit));
  if (unit < 1) unit = RoundHalfEven(number(kUnit));
  const double factor = unit == 2 ? 25.4 : unit == 3 ? 10.0 : 0.0;
  const double focal = number(kFocal);
  if (factor == 0 || focal == 0) return;
  double xr = 0;
  double yr = 0;
  if (const int32_t c = RoundHalfEven(number(kPlaneX)); c > 0) xr = width * factor / c;
  if (const int32_t c = RoundHalfEven(number(kPlaneY)); c > 0) yr = height * factor / c;
  if (!(xr * yr > 0)) return;  // without a sensor size there is no estimate
  const double ratio = 43.26661531 / std::sqrt(xr * xr + yr * yr);
  static const int row = FindRowByName("FocalLengthIn35mmFilm");
  if (row < 0) return;
  TTagEntry entry;
  entry.row = &FocalLength35mmRow(InitDictionary().main[static_cast<size_t>(row)]);
  entry.dataType = kTypeSRational;
  entry.text = FormatFixed(focal * ratio, 5, 2);
  AddEntry(std::move(entry));
}

}  // namespace pixmeta
