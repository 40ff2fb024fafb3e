// Edits the IPTC data sets inside a file's Photoshop image resources (APP13): only the data
// sets of the edited keys change; every other data set and every other resource stays as
// it was, byte for byte.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "iptc/iptc_edits.h"

namespace pixmeta {

struct App13Edit {
  std::vector<std::string> payloads;  // the new APP13 payloads (bytes after the two length bytes), in order
  std::string error;                  // why no payload could be made; payloads then empty
};

// segments: the payloads of the file's APP13 segments that carry image resources (they begin
// "Photoshop 3.0\0"), in file order; their resources are one stream split across them. Empty
// when the file has none: one new payload is made.
//
// An edited key's new data sets go where its first old one was; a key that had none goes
// into its record in ascending data-set order. A new non-ASCII value is written in the
// character set the data declares, or makes it declare UTF-8 when every kept value of
// records 1 and 2 is ASCII, else is written in Windows-1252. A stored IPTC digest is brought
// up to date. The stream is split as the segments were: the same sizes but the last, which
// takes the difference and is split again only where it would not fit a segment. Without
// edits, or when they change nothing, the payloads are the segments as given.
App13Edit EditApp13(std::span<const std::string_view> segments, std::span<const IptcKeyEdit> edits);

}  // namespace pixmeta
