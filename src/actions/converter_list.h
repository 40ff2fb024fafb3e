// Command lines for the image converter that make a reduced, upright copy of each photo in
// the current folder.
#pragma once

#include <string_view>

#include "actions/file_state.h"
#include "actions/run_context.h"

namespace pixmeta {

// The converter's rotate option that turns a photo of this Orientation text upright; empty
// for upright, mirrored and unknown orientations.
std::string_view ConverterRotation(std::string_view orientation);

// Adds the file's converter command line to the output list.
void AddConverterLine(RunContext& run, const FileState& file);

}  // namespace pixmeta
