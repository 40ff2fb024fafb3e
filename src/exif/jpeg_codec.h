// JpegImage: what rewriting a JPEG needs of the image itself. The JPEG library reads the
// file's header up to the start of scan, which proves the file a JPEG it can decode and
// gives the frame's width and height; the compressed image data is never decoded, and is
// copied to the new file as it stands.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace pixmeta {

class JpegImage {
 public:
  // One marker segment of the header, as the file holds it.
  struct Segment {
    uint8_t marker = 0;
    uint64_t offset = 0;  // where the 0xFF before its marker code stands in the file
    std::string_view bytes;  // 0xFF, the marker, the length field and the payload
  };

  // The segments of a header that starts with SOI, up to and including the start of scan;
  // fill bytes before a marker belong to no segment. A walk that meets anything else ends
  // there.
  static std::vector<Segment> SegmentsOf(std::string_view header);

  // Reads the header of source; false, with errorText, when it is not a JPEG image the
  // library can read. source must stay open while the image is used.
  bool Load(platform::InputFile& source, std::string& errorText);

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  // The segments from the first after SOI up to and including the start of scan.
  const std::vector<Segment>& Segments() const { return segments_; }
  // The file's bytes from SOI up to the compressed image data, fill bytes included.
  std::string_view Header() const { return header_; }
  // Where the compressed image data begins, and how many bytes the file holds from there.
  uint64_t ScanOffset() const { return scanOffset_; }
  uint64_t ScanLength() const { return scanLength_; }
  platform::InputFile& Source() const { return *source_; }

 private:
  bool ReadSegments(platform::InputFile& source, std::string& errorText);

  platform::InputFile* source_ = nullptr;
  std::string header_;  // the file's bytes up to the compressed image data, as they stand
  std::vector<Segment> segments_;
  uint64_t scanOffset_ = 0;
  uint64_t scanLength_ = 0;
  int32_t width_ = 0;
  int32_t height_ = 0;
};

}  // namespace pixmeta
