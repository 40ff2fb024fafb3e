#include "iptc/photoshop_resources.h"

#include <algorithm>
#include <array>
#include <optional>

#include "records/byte_reader.h"

namespace pixmeta {
namespace {

// Photoshop's own type and those that other programs wrote into the same stream.
constexpr std::array<std::string_view, 5> kKnownTypes = {"8BIM", "MeSa", "PHUT", "AgHg",
                                                         "DCSR"};

void AppendBigEndian(std::string& out, uint32_t value, int width) {
  for (int i = width - 1; i >= 0; --i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// The resource that starts at the 1-based position pos, if a whole one does.
std::optional<PhotoshopResource> ResourceAt(const tEndInd& reader, int64_t pos) {
  const std::string_view stream = reader.buffer;
  const std::string_view type = ClampedBytes(stream, pos, 4);
  if (std::ranges::find(kKnownTypes, type) == kKnownTypes.end()) return std::nullopt;
  const std::optional<uint16_t> id = reader.Read16(pos + 4);
  const std::string_view nameLength = ClampedBytes(stream, pos + 6, 1);
  if (!id || nameLength.empty()) return std::nullopt;
  // The length byte and the text, padded to even length.
  const int64_t nameField = (1 + int64_t{static_cast<unsigned char>(nameLength[0])} + 1) / 2 * 2;
  if (!FitsIn(stream.size(), pos + 6, nameField)) return std::nullopt;
  const int64_t sizeAt = pos + 6 + nameField;
  const std::optional<uint32_t> size = reader.Read32(sizeAt);
  if (!size || !FitsIn(stream.size(), sizeAt + 4, *size)) return std::nullopt;
  int64_t end = sizeAt + 4 + *size;  // 1-based, just after the data
  if (*size % 2 != 0 && FitsIn(stream.size(), end, 1)) ++end;
  return PhotoshopResource{.type = type,
                           .id = *id,
                           .name = ClampedBytes(stream, pos + 6, nameField),
                           .data = ClampedBytes(stream, sizeAt + 4, *size),
                           .bytes = ClampedBytes(stream, pos, end - pos)};
}

}  // namespace

ResourceStream ParseResources(std::string_view stream) {
  ResourceStream parsed;
  const tEndInd reader{.bigEndian = true, .buffer = stream};
  int64_t pos = 1;
  while (const std::optional<PhotoshopResource> resource = ResourceAt(reader, pos)) {
    parsed.resources.push_back(*resource);
    pos += static_cast<int64_t>(resource->bytes.size());
  }
  parsed.rest = stream.substr(static_cast<size_t>(pos - 1));
  return parsed;
}

std::string ResourceBytes(std::string_view type, uint16_t id, std::string_view name,
                          std::string_view data) {
  std::string out(type);
  AppendBigEndian(out, id, 2);
  out += name;
  AppendBigEndian(out, static_cast<uint32_t>(data.size()), 4);
  out += data;
  if (data.size() % 2 != 0) out += '\0';
  return out;
}

}  // namespace pixmeta
