// One run of the program: parse, per-file loop, then the output list and the two logs.
#pragma once

#include <span>
#include <string>

#include "actions/run_context.h"
#include "main/arguments.h"
#include "platform/console.h"
#include "util/program_location.h"

namespace pixmeta {

// Runs the program on its arguments (without the program path) and returns the exit code:
// 0 after a normal run, 1 without arguments, 2 when the output file cannot be written.
// memoryBound is how much text the output list and the logs keep in memory.
int RunProgram(const Arguments& args, const ProgramLocation& location,
               platform::Console& console,
               size_t memoryBound = OutputSpool::kDefaultMemoryBound);

// Writes the output list, framed by the KML header and footer, to settings.outFile or to
// the console; false (after an "#ERROR: " line) when the file cannot be written.
bool WriteOutputList(RunContext& run);

}  // namespace pixmeta
