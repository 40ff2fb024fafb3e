#include "exif/header_splices.h"

#include <algorithm>
#include <utility>

namespace pixmeta {
namespace {

bool Before(const HeaderSplices::Splice& a, const HeaderSplices::Splice& b) {
  if (a.offset != b.offset) return a.offset < b.offset;
  return a.removed == 0 && b.removed != 0;
}

}  // namespace

bool HeaderSplices::Replace(uint64_t offset, uint64_t length, std::string bytes) {
  for (const Splice& s : splices_) {
    if (s.removed != 0 && offset < s.offset + s.removed && s.offset < offset + length) {
      return false;
    }
  }
  Splice splice{offset, length, std::move(bytes)};
  splices_.insert(std::upper_bound(splices_.begin(), splices_.end(), splice, Before),
                  std::move(splice));
  return true;
}

void HeaderSplices::Insert(uint64_t offset, std::string bytes) {
  Splice splice{offset, 0, std::move(bytes)};
  splices_.insert(std::upper_bound(splices_.begin(), splices_.end(), splice, Before),
                  std::move(splice));
}

bool HeaderSplices::Replaces(uint64_t offset) const {
  return std::any_of(splices_.begin(), splices_.end(),
                     [offset](const Splice& s) { return s.removed != 0 && s.offset == offset; });
}

int64_t HeaderSplices::GrowthAfter(uint64_t offset) const {
  int64_t growth = 0;
  for (const Splice& s : splices_) {
    if (s.offset > offset) {
      growth += static_cast<int64_t>(s.bytes.size()) - static_cast<int64_t>(s.removed);
    }
  }
  return growth;
}

std::string HeaderSplices::Apply(std::string_view header) const {
  std::string out;
  int64_t growth = 0;
  for (const Splice& s : splices_) {
    growth += static_cast<int64_t>(s.bytes.size()) - static_cast<int64_t>(s.removed);
  }
  out.reserve(static_cast<size_t>(static_cast<int64_t>(header.size()) + growth));
  uint64_t copied = 0;
  for (const Splice& s : splices_) {
    out.append(header.substr(copied, s.offset - copied));
    out += s.bytes;
    copied = s.offset + s.removed;
  }
  out.append(header.substr(copied));
  return out;
}

}  // namespace pixmeta
