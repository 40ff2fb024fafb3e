// Per-file exports that read the file's report and coordinate texts: the KML photo overlay
// and the GPS list.
#pragma once

#include "actions/file_state.h"
#include "actions/run_context.h"

namespace pixmeta {

// Adds the file's photo overlay to the output list, numbered by the run's overlay counter;
// a file without coordinates gets an error line instead and uses no number.
void AddKmlOverlay(RunContext& run, const FileState& file);

// Adds the file name, the latitude and the longitude, TAB-separated, to the output list;
// also for a file without coordinates.
void AddGpsLine(RunContext& run, const FileState& file);

}  // namespace pixmeta
