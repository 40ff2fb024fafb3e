// One run of the program: parse, per-file loop, then the output list and the two logs.
#pragma once

#include <optional>
#include <span>
#include <string_view>
#include <string>

#include "actions/run_context.h"
#include "util/arguments.h"
#include "platform/console.h"
#include "platform/file_system.h"
#include "util/program_location.h"

namespace pixmeta {

// Runs the program on its arguments (without the program path) and returns the exit code:
// 0 after a normal run, 1 without arguments, 2 when the output file cannot be written.
// memoryBound is how much text the output list and the logs keep in memory.
int RunProgram(const Arguments& args, const ProgramLocation& location,
               platform::Console& console,
               size_t memoryBound = OutputSpool::kDefaultMemoryBound);

// Writes the output list, framed by the KML header and footer, to settings.outFile or to
// the console. A list with items gets the header before them and the footer after them; an
// empty one writes nothing and leaves the file alone.
class OutputWriter {
 public:
  explicit OutputWriter(RunContext& run);

  // Items as the output list holds them; the header goes first. False when the output
  // file cannot be made.
  bool Write(std::string_view items);
  // What the list still holds, then the footer; false (after an "#ERROR: " line) when the
  // file cannot be written.
  bool Finish();

 private:
  bool Start();

  RunContext& run_;
  bool started_ = false;
  std::optional<platform::ReplacingFile> file_;
  std::string error_;
};

// The output list written as a whole at the end of a run.
bool WriteOutputList(RunContext& run);

}  // namespace pixmeta
