// The capture date of a file as a date list line and as the file's own modification date.
#pragma once

#include "actions/file_state.h"
#include "actions/run_context.h"

namespace pixmeta {

// Resolves the file's date once: the capture date, else (when asked) a date in the file
// name, else the file's own time. With setFileDate it becomes the last-write time of the
// file, or of the file of the same name in fileDateDir; with dateList the file name and the
// date, in dateFormat, go to the console, marked with a TAB and "*" when the date is the
// file's own time. Does nothing without either setting.
void RunDateSteps(RunContext& run, const FileState& file);

}  // namespace pixmeta
