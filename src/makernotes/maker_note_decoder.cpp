#include "makernotes/maker_note_decoder.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "makernotes/maker_tables.h"
#include "platform/code_page.h"

namespace pixmeta {
namespace {

// Where a maker's directory sits: the entry count at 0-based byte dirOffset of the maker
// note, and a value offset m at maker-note position m + dirOffset - relBase + 2.
struct MakerLayout {
  MakerTable table;
  int64_t dirOffset;
  int64_t relBase;
  bool littleEndian = false;  // Fuji writes little-endian whatever the EXIF block uses
};

// The letter after the first blank of the model ("D" of "NIKON D90"), else its first one.
char ModelLetter(std::string_view model) {
  const size_t blank = model.find(' ');
  const size_t at = blank == std::string_view::npos ? 0 : blank + 1;
  return at < model.size() ? model[at] : '\0';
}

std::optional<MakerLayout> ChooseLayout(const MakerNoteHost& host) {
  const std::string maker = platform::UpperCase(host.CameraMake().substr(0, 5));
  const std::string_view note = host.MakerNoteRaw();
  const int64_t p = host.MakerNotePos();
  if (maker == "NIKON") {
    // Newer Nikons write "Nikon" and a TIFF header of their own, with offsets from it.
    const std::string_view version = host.ExifVersion();
    if (version > std::string_view("0210") ||
        (version.empty() && ModelLetter(host.CameraModel()) == 'D' && host.IsTiff())) {
      return MakerLayout{MakerTable::kNikonB, 18, 9};
    }
    if (note.starts_with("Nikon")) return MakerLayout{MakerTable::kNikonA, 8, p};
    return MakerLayout{MakerTable::kNikonB, 0, p - 8};
  }
  if (maker == "OLYMP") return MakerLayout{MakerTable::kOlympus, 8, p};
  if (maker == "CASIO") {
    if (note.starts_with("QVC")) return MakerLayout{MakerTable::kCasioB, 6, p - 2};
    return MakerLayout{MakerTable::kCasioA, 0, p - 8};
  }
  if (maker == "FUJIF") return MakerLayout{MakerTable::kFuji, 12, 13, true};
  if (maker == "CANON") return MakerLayout{MakerTable::kCanon, 0, p - 8};
  if (maker == "SEIKO") return MakerLayout{MakerTable::kSeiko, 8, p};
  if (maker == "SANYO") return MakerLayout{MakerTable::kSanyo, 8, p};
  if (maker == "MINOL") return MakerLayout{MakerTable::kMinolta, 0, p - 8};
  return std::nullopt;
}

// Gives the host its byte order back however the walk ends.
class ByteOrderRestorer {
 public:
  explicit ByteOrderRestorer(MakerNoteHost& host) : host_(host), bigEndian_(host.BigEndian()) {}
  ~ByteOrderRestorer() { host_.SetBigEndian(bigEndian_); }
  ByteOrderRestorer(const ByteOrderRestorer&) = delete;
  ByteOrderRestorer& operator=(const ByteOrderRestorer&) = delete;

 private:
  MakerNoteHost& host_;
  bool bigEndian_;
};

}  // namespace

bool ReadMakerNote(MakerNoteHost& host) {
  const std::optional<MakerLayout> layout = ChooseLayout(host);
  if (!layout) return false;
  const ByteOrderRestorer restorer(host);
  if (layout->littleEndian) host.SetBigEndian(false);
  host.ParseMakerDirectory(host.MakerNoteRaw(), MakerTableRows(layout->table), host.TiffBase(),
                           layout->relBase, layout->dirOffset);
  return true;
}

}  // namespace pixmeta
