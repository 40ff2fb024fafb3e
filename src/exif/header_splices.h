// What a rewrite changes in a file's header (its bytes from SOI up to the compressed image
// data): whole segments replaced where they stand, and new segments put in before a given
// offset. Everything else is copied as it stands, so a segment that no splice names keeps
// its bytes, its place and its order in the new file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pixmeta {

class HeaderSplices {
 public:
  struct Splice {
    uint64_t offset = 0;   // where it stands in the old header
    uint64_t removed = 0;  // how many old bytes it replaces; 0 for an insertion
    std::string bytes;     // what stands there in the new header
  };

  // Replaces the length bytes from offset; false, and nothing noted, when they overlap bytes
  // another splice replaces.
  bool Replace(uint64_t offset, uint64_t length, std::string bytes);
  // Puts bytes before the old byte at offset, after what was inserted there before.
  void Insert(uint64_t offset, std::string bytes);

  bool Empty() const { return splices_.empty(); }
  // Whether a replacement starts at offset.
  bool Replaces(uint64_t offset) const;
  // The splices in the order of their offsets (at one offset, insertions first).
  const std::vector<Splice>& Splices() const { return splices_; }
  // How many bytes the splices after offset add (negative when they remove more).
  int64_t GrowthAfter(uint64_t offset) const;

  // The new header; none of the splices may reach past the end of header.
  std::string Apply(std::string_view header) const;

 private:
  std::vector<Splice> splices_;
};

}  // namespace pixmeta
