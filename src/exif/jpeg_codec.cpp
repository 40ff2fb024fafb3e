#include "exif/jpeg_codec.h"

// The JPEG library's header needs the standard C declarations before it.
#include <cstddef>
#include <cstdio>
#include <csetjmp>

#include <jpeglib.h>

#include <utility>

namespace pixmeta {
namespace {

constexpr uint8_t kMarkerSos = 0xDA;
constexpr uint8_t kMarkerEoi = 0xD9;
// No real header comes near this; it bounds what a hostile file makes the program read.
constexpr size_t kMaxHeader = 16 << 20;

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void JumpOut(j_common_ptr info) {
  auto* errors = reinterpret_cast<ErrorManager*>(info->err);
  (*info->err->format_message)(info, errors->message);
  std::longjmp(errors->jump, 1);
}

void IgnoreMessage(j_common_ptr, int) {}

// The frame size as the library reads it from a header that ends at the start of scan.
// Only plain data lives in this frame: the library leaves it by a jump on an error.
bool ReadFrameSize(const unsigned char* data, size_t size, int32_t& width, int32_t& height,
                   char* message) {
  jpeg_decompress_struct info{};
  ErrorManager errors{};
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = JumpOut;
  errors.base.emit_message = IgnoreMessage;
  if (setjmp(errors.jump) != 0) {
    jpeg_destroy_decompress(&info);
    std::snprintf(message, JMSG_LENGTH_MAX, "%s", errors.message);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  const int result = jpeg_read_header(&info, TRUE);
  width = static_cast<int32_t>(info.image_width);
  height = static_cast<int32_t>(info.image_height);
  jpeg_destroy_decompress(&info);
  if (result != JPEG_HEADER_OK) {
    std::snprintf(message, JMSG_LENGTH_MAX, "%s", "no image in the file");
    return false;
  }
  return true;
}

}  // namespace

bool JpegImage::Load(platform::InputFile& source, std::string& errorText) {
  source_ = &source;
  header_.clear();
  segments_.clear();
  if (!ReadSegments(source, errorText)) return false;
  char message[JMSG_LENGTH_MAX] = {};
  if (!ReadFrameSize(reinterpret_cast<const unsigned char*>(header_.data()), header_.size(),
                     width_, height_, message)) {
    errorText = "not a JPEG image that can be rewritten (";
    errorText += message;
    errorText += ')';
    return false;
  }
  return true;
}

bool JpegImage::ReadSegments(platform::InputFile& source, std::string& errorText) {
  const auto fail = [&errorText](const char* why) {
    errorText = "not a JPEG image that can be rewritten (";
    errorText += why;
    errorText += ')';
    return false;
  };
  if (!source.Seek(0) || source.ReadInto(header_, 2) != 2 || header_ != "\xFF\xD8") {
    return fail("it does not start as a JPEG file");
  }
  uint8_t marker = 0;
  while (marker != kMarkerSos) {
    std::optional<unsigned char> byte = source.ReadByte();
    if (byte != 0xFF) return fail("no marker where a segment should begin");
    // Fill bytes are kept: the new file holds the header as it stands.
    while (byte == 0xFF) {
      header_ += '\xFF';
      byte = source.ReadByte();
    }
    if (!byte) return fail("the file ends before its image data");
    marker = *byte;
    if (marker == kMarkerEoi || marker == 0x01 || marker == 0x00 ||
        (marker >= 0xD0 && marker <= 0xD8)) {
      return fail("no image data before the end of the header");
    }
    header_ += static_cast<char>(marker);
    if (source.ReadInto(header_, 2) != 2) return fail("the file ends inside a segment");
    const size_t length = static_cast<unsigned char>(header_[header_.size() - 2]) * 256u +
                          static_cast<unsigned char>(header_[header_.size() - 1]);
    if (length < 2) return fail("a segment with a broken length");
    if (header_.size() + length > kMaxHeader) return fail("its header is too large");
    if (source.ReadInto(header_, length - 2) != length - 2) {
      return fail("the file ends inside a segment");
    }
  }
  segments_ = SegmentsOf(header_);
  scanOffset_ = source.Position();
  const auto fileSize = static_cast<uint64_t>(source.Info().size);
  scanLength_ = fileSize > scanOffset_ ? fileSize - scanOffset_ : 0;
  return true;
}

std::vector<JpegImage::Segment> JpegImage::SegmentsOf(std::string_view header) {
  std::vector<Segment> segments;
  size_t pos = 2;
  while (pos < header.size() && header[pos] == '\xFF') {
    while (pos + 1 < header.size() && header[pos + 1] == '\xFF') ++pos;
    if (pos + 4 > header.size()) break;
    const size_t length = static_cast<unsigned char>(header[pos + 2]) * 256u +
                          static_cast<unsigned char>(header[pos + 3]);
    if (length < 2 || pos + 2 + length > header.size()) break;
    const auto marker = static_cast<uint8_t>(header[pos + 1]);
    segments.push_back({marker, pos, header.substr(pos, 2 + length)});
    pos += 2 + length;
    if (marker == kMarkerSos) break;
  }
  return segments;
}

}  // namespace pixmeta
