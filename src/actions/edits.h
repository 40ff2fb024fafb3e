// The steps of the per-file loop that change a file: the EXIF date shift, the orientation
// reset, the thumbnail removal, the comment edit and the IPTC field edits, all made on the
// loaded container, and then one write-back of a changed file.
#pragma once

#include "actions/file_state.h"
#include "actions/run_context.h"
#include "exif/jpeg_container.h"
#include "platform/file_system.h"

namespace pixmeta {

// The date shift, the orientation reset, the thumbnail removal and the comment edit.
void EditExifAndComment(RunContext& run, FileState& file, TimgData& container);
// The six IPTC field edits.
void EditIptcFields(RunContext& run, FileState& file, TimgData& container);
// Writes a changed file back in place from the container and the file it was read from;
// a file that cannot be rewritten is left as it was and named in the error log.
void WriteBack(RunContext& run, const FileState& file, TimgData& container,
               platform::OpenedFile& opened);

}  // namespace pixmeta
