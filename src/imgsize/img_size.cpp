#include "imgsize/img_size.h"

#include <array>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "records/byte_reader.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "util/path_parts.h"

namespace pixmeta {
namespace {

using platform::InputFile;

constexpr std::string_view kJpegSignature("\xFF\xD8", 2);
constexpr std::string_view kPngSignature("\x89PNG\r\n\x1A\n", 8);
constexpr std::string_view kGifSignature = "GIF";
constexpr std::string_view kBmpSignature = "BM";
constexpr unsigned char kMarkerStart = 0xFF;
constexpr unsigned char kGifImageSeparator = 0x2C;

template <size_t N>
bool ReadFull(InputFile& file, std::array<char, N>& bytes) {
  return file.Read(bytes.data(), N) == N;
}

template <size_t N>
std::string_view View(const std::array<char, N>& bytes) {
  return {bytes.data(), N};
}

template <size_t N>
uint32_t ValueAt(const std::array<char, N>& bytes, size_t pos, size_t count, bool bigEndian) {
  return BytesToInt(View(bytes).substr(pos, count), bigEndian);
}

bool IsFrameMarker(unsigned char marker) {
  // C4 (Huffman tables), C8 (reserved) and CC (arithmetic conditioning) share the range.
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool HasNoLength(unsigned char marker) {
  return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7);
}

void ProbeJpeg(InputFile& file, int32_t& width, int32_t& height) {
  std::array<char, 2> signature{};
  if (!ReadFull(file, signature) || View(signature) != kJpegSignature) return;
  std::optional<unsigned char> b = file.ReadByte();
  while (b == kMarkerStart) {
    do {
      b = file.ReadByte();
    } while (b == kMarkerStart);
    if (!b) return;
    if (IsFrameMarker(*b)) {
      std::array<char, 4> size{};
      // Segment length and sample precision come before the height and width.
      if (!file.Skip(3) || !ReadFull(file, size)) return;
      height = static_cast<int32_t>(ValueAt(size, 0, 2, true));
      width = static_cast<int32_t>(ValueAt(size, 2, 2, true));
      return;
    }
    if (HasNoLength(*b)) {
      b = kMarkerStart;
      continue;
    }
    std::array<char, 2> length{};
    if (!ReadFull(file, length)) return;
    const uint32_t segmentLength = ValueAt(length, 0, 2, true);
    if (segmentLength < 2 || !file.Skip(segmentLength - 2)) return;
    b = file.ReadByte();
  }
}

void ProbePng(InputFile& file, int32_t& width, int32_t& height) {
  // Signature, then the header chunk's length, type, width and height.
  std::array<char, 24> header{};
  if (!ReadFull(file, header) || View(header).substr(0, 8) != kPngSignature) return;
  // Only the low halves of the 32-bit values are taken.
  width = static_cast<int32_t>(ValueAt(header, 18, 2, true));
  height = static_cast<int32_t>(ValueAt(header, 22, 2, true));
}

void ProbeGif(InputFile& file, int32_t& width, int32_t& height) {
  std::array<char, 13> header{};
  if (!ReadFull(file, header) || View(header).substr(0, 3) != kGifSignature) return;
  const auto packed = static_cast<unsigned char>(header[10]);
  if ((packed & 0x80) != 0) {
    const uint64_t tableSize = uint64_t{3} << (1 + (packed & 0x07));
    if (!file.Skip(tableSize)) return;
  }
  // Blocks are not walked: the first separator byte anywhere is taken as the image's. One in
  // the last byte has no descriptor after it, so the short read ends the probe.
  while (const std::optional<unsigned char> b = file.ReadByte()) {
    if (*b != kGifImageSeparator) continue;
    std::array<char, 10> descriptor{};
    if (!ReadFull(file, descriptor)) return;
    width = static_cast<int32_t>(ValueAt(descriptor, 4, 2, false));
    height = static_cast<int32_t>(ValueAt(descriptor, 6, 2, false));
    return;
  }
}

void ProbeTiff(InputFile& file, int32_t& width, int32_t& height) {
  // The byte-order mark is not looked at: every value is read little-endian.
  std::array<char, 8> header{};
  if (!ReadFull(file, header) || !file.Seek(ValueAt(header, 4, 4, false))) return;
  std::array<char, 2> count{};
  if (!ReadFull(file, count)) return;
  const uint32_t entries = ValueAt(count, 0, 2, false);
  for (uint32_t i = 0; i < entries; ++i) {
    std::array<char, 12> entry{};
    if (!ReadFull(file, entry)) return;
    const uint32_t tag = ValueAt(entry, 0, 2, false);
    if (tag == 256) width = static_cast<int32_t>(ValueAt(entry, 8, 4, false));
    if (tag == 257) height = static_cast<int32_t>(ValueAt(entry, 8, 4, false));
    if (width > 0 && height > 0) return;
  }
}

void ProbeBmp(InputFile& file, int32_t& width, int32_t& height) {
  std::array<char, 2> signature{};
  if (!ReadFull(file, signature) || View(signature) != kBmpSignature) return;
  std::array<char, 40> info{};
  if (!file.Skip(12) || !ReadFull(file, info)) return;
  // Signed: a top-down bitmap stores a negative height.
  width = static_cast<int32_t>(ValueAt(info, 4, 4, false));
  height = static_cast<int32_t>(ValueAt(info, 8, 4, false));
}

struct Probe {
  std::string_view extensions;
  void (*run)(InputFile&, int32_t&, int32_t&);
  bool raisesWhenUnreadable;  // the GIF probe ends quietly on any input error
};

// The lists do not overlap, so at most one probe runs for a name.
constexpr std::array kProbes = {
    Probe{";.jpg;.jpeg;.jpe;.jif;.jfif;.jfi;", ProbeJpeg, true},
    Probe{";.png;", ProbePng, true},
    Probe{";.gif;", ProbeGif, false},
    Probe{";.tif;.tiff;", ProbeTiff, true},
    Probe{";.bmp;.dib;", ProbeBmp, true},
};

const Probe* ProbeFor(std::string_view extensionKey) {
  for (const Probe& probe : kProbes) {
    if (probe.extensions.find(extensionKey) != std::string_view::npos) return &probe;
  }
  return nullptr;
}

}  // namespace

TImgSize::TImgSize(std::string name)
    : fileName(std::move(name)),
      extension(platform::LowerCase(ExtensionPart(fileName))),
      extensionKey(";" + extension + ";") {
  if (const Probe* probe = ProbeFor(extensionKey); probe != nullptr && !fileName.empty()) {
    platform::OpenedFile opened = platform::OpenForReading(fileName);
    Run(opened);
  }
}

TImgSize::TImgSize(std::string name, platform::OpenedFile& opened)
    : fileName(std::move(name)),
      extension(platform::LowerCase(ExtensionPart(fileName))),
      extensionKey(";" + extension + ";") {
  if (!fileName.empty()) Run(opened);
}

void TImgSize::Run(platform::OpenedFile& opened) {
  const Probe* probe = ProbeFor(extensionKey);
  if (probe == nullptr) return;
  if (!opened.file) {
    if (opened.failure == InputFile::Failure::Missing || !probe->raisesWhenUnreadable) return;
    throw std::runtime_error("cannot open " + fileName + ": " + opened.reason);
  }
  if (opened.file->Seek(0)) probe->run(*opened.file, width, height);
}

}  // namespace pixmeta
