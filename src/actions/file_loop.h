// The per-file loop: expands the file arguments and runs every step of one file in a fixed
// order.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "actions/run_context.h"
#include "util/file_patterns.h"

namespace pixmeta {

enum class LoopOutcome {
  Done,          // every file was processed
  NoFileFound,   // no pattern matched a file; nothing was processed
};

// The files of the comma-joined file arguments, found one piece at a time: each piece is
// trimmed and searched in turn, every piece however many there are; an empty piece ends the
// list. A run over N shell-expanded names costs N lookups and keeps no list of them.
class FileArgumentList {
 public:
  explicit FileArgumentList(std::string_view fileArgs) : rest_(fileArgs) {}

  // The next file; false when every piece has been searched.
  bool Next(std::string& path);

 private:
  bool StartNextPiece();

  std::string_view rest_;  // the pieces not yet started
  bool ended_ = false;
  std::optional<PatternSearch> search_;
};

LoopOutcome RunFileLoop(RunContext& run);

}  // namespace pixmeta
