// The Photoshop image-resource stream that APP13 segments carry: resources one after
// another, each a four-byte type, a 16-bit id, a Pascal name padded to even length, a 32-bit
// size and the data padded to even length (all numbers big-endian).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pixmeta {

// What every APP13 payload that carries image resources begins with.
inline constexpr std::string_view kPhotoshopSignature{"Photoshop 3.0\0", 14};
inline constexpr std::string_view kResourceType = "8BIM";
inline constexpr uint16_t kIptcResourceId = 0x0404;
inline constexpr uint16_t kIptcDigestId = 0x0425;
// The name field of a resource without a name: length 0, padded to two bytes.
inline constexpr std::string_view kEmptyResourceName{"\0\0", 2};

struct PhotoshopResource {
  std::string_view type;   // "8BIM", or another type that is kept as it is
  uint16_t id = 0;
  std::string_view name;   // the name field as stored: length byte, text, padding
  std::string_view data;   // without its padding
  std::string_view bytes;  // the whole resource as stored, padding included
};

struct ResourceStream {
  std::vector<PhotoshopResource> resources;
  std::string_view rest;  // the bytes after the last resource that form none
};

// The resources of the stream in order, views into it. The walk stops at the first bytes
// that are no whole resource of a known type; they are the rest. A last resource whose odd
// data ends the stream has no padding byte.
ResourceStream ParseResources(std::string_view stream);

// One resource with the name field as given and the data padded with a zero byte to even
// length.
std::string ResourceBytes(std::string_view type, uint16_t id, std::string_view name,
                          std::string_view data);

}  // namespace pixmeta
