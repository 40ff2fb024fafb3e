// SQL statements, in the MySQL dialect, that bring an image database up to date with the
// processed files: the image report (titles, copyright, tags of the file's row) and the
// size update (extension and pixel size per size-class folder). Both write straight to the
// console, also in quiet mode.
#pragma once

#include "actions/file_state.h"
#include "actions/run_context.h"
#include "exif/jpeg_container.h"

namespace pixmeta {

// The image report of a loaded container, after the file's edits; with sqlMode 2 only for
// files whose IPTC keywords hold a '#'.
void PrintImageReport(RunContext& run, const FileState& file, const TimgData& container);

// The size update of every size-class folder ("/o/", "/l/", "/q/", "/s/", "/t/") in the
// file's path, from the width and height of its report.
void PrintSizeUpdate(RunContext& run, const FileState& file);

}  // namespace pixmeta
