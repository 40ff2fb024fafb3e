// The per-file loop: expands the file arguments and runs every step of one file in a fixed
// order.
#pragma once

#include <string_view>

#include "actions/run_context.h"
#include "util/string_list.h"

namespace pixmeta {

inline constexpr size_t kMaxFilePatterns = 100;

enum class LoopOutcome {
  Done,          // every file was processed
  NoFileFound,   // no pattern matched a file; nothing was processed
};

// Splits the comma-joined file arguments and appends every matching file to fileList.
// True when any pattern found a file.
bool ExpandFileArguments(std::string_view fileArgs, StringList& fileList);

LoopOutcome RunFileLoop(RunContext& run);

}  // namespace pixmeta
