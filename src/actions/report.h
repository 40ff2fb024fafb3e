// The per-file report: sections of metadata as key=value lines, from which the later steps
// of the same file take their values, and the listings that go into the output list.
#pragma once

#include "actions/file_state.h"
#include "actions/run_context.h"
#include "exif/jpeg_container.h"

namespace pixmeta {

// Adds the thumbnail, comment, IPTC, EXIF and XML sections to file.report and, with -s,
// puts the report into the output list.
void AddReportSections(RunContext& run, const TimgData& container, FileState& file);

// The settable IPTC keys, one line each.
void AddIptcKeyList(RunContext& run);

// The file name, its Orientation text and the converter's rotation for it.
void AddOrientationLine(RunContext& run, const FileState& file);

}  // namespace pixmeta
