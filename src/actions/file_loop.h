// The per-file loop: expands the file arguments and runs every step of one file in a fixed
// order.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "actions/run_context.h"
#include "platform/file_system.h"
#include "util/arguments.h"
#include "util/file_patterns.h"

namespace pixmeta {

enum class LoopOutcome {
  Done,          // every file was processed
  NoFileFound,   // no pattern matched a file; nothing was processed
  JsonWritten,   // the first file's JSON members were printed: the run ends there
};

// The files of the file arguments, found one piece at a time: the arguments are split at
// commas, and each piece is trimmed and searched in turn, every piece however many there
// are; an empty piece ends the list. A run over N shell-expanded names costs N lookups and
// keeps no list of them.
class FileArgumentList {
 public:
  explicit FileArgumentList(const FileArguments& fileArgs) : args_(fileArgs) {}

  // The next file; false when every piece has been searched. A name without wildcards is
  // looked up by opening it, and opened holds the file then; else it is empty.
  bool Next(std::string& path, std::optional<platform::OpenedFile>& opened);

 private:
  bool StartNextPiece();

  const FileArguments& args_;
  size_t nextArg_ = 0;     // where the arguments not yet started begin
  std::string_view rest_;  // the pieces of the current one not yet started
  bool inArgument_ = false;
  bool ended_ = false;
  std::optional<PatternSearch> search_;
  std::string_view named_;  // a piece without wildcards, not yet looked up
};

LoopOutcome RunFileLoop(RunContext& run);

}  // namespace pixmeta
