// The tag tables of the camera makers' private directories. A row whose description is
// "Skip" (in any letter case) marks a tag that is read but not shown.
#pragma once

#include <span>

#include "records/tag_entry.h"

namespace pixmeta {

enum class MakerTable {
  kNikonA,
  kNikonB,
  kOlympus,
  kCasioA,
  kCasioB,
  kFuji,
  kCanon,
  kSeiko,
  kSanyo,
  kMinolta,
};

// The rows of a table, in the order they are searched.
std::span<const TagRow> MakerTableRows(MakerTable table);

}  // namespace pixmeta
