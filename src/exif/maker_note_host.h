// The seam between the EXIF walker and the maker-note decoder. The walker implements the
// host; the decoder, which lives in its own folder, is handed to the container as a plain
// function, so the EXIF code does not depend on it.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "records/tag_entry.h"

namespace pixmeta {

class MakerNoteHost {
 public:
  virtual std::string_view CameraMake() const = 0;    // display text of Make, cut to 32
  virtual std::string_view CameraModel() const = 0;   // display text of Model, cut to 40
  virtual std::string_view ExifVersion() const = 0;   // raw bytes of ExifVersion, cut to 6
  virtual std::string_view MakerNoteRaw() const = 0;  // the MakerNote value
  // 1-based position of the maker note's first byte in the EXIF block's bytes.
  virtual int64_t MakerNotePos() const = 0;
  // Position in those bytes of TIFF offset 0: 9 in a JPEG's APP1, -7 in a TIFF file.
  virtual int64_t TiffBase() const = 0;
  virtual bool IsTiff() const = 0;
  virtual bool BigEndian() const = 0;
  virtual void SetBigEndian(bool bigEndian) = 0;

  // Walks the directory whose entry count sits at 0-based offset dirOffset of makerBytes and
  // appends an entry for every tag that has a row in table. A value offset m designates the
  // 1-based maker-note position m + dirOffset - relBase + 2; a value that does not lie
  // wholly inside the maker note is read from the EXIF block at position exifBase + m.
  virtual void ParseMakerDirectory(std::string_view makerBytes, std::span<const TagRow> table,
                                   int64_t exifBase, int64_t relBase, int64_t dirOffset) = 0;

 protected:
  ~MakerNoteHost() = default;
};

// Recognises the maker and walks its directory; true when the maker was recognised.
using MakerNoteReader = bool (*)(MakerNoteHost& host);

}  // namespace pixmeta
