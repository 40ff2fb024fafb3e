// Canon's array tags, split into named sub-fields. Each expander adds one text entry per
// sub-field it finds through the context's sink and sets the multi-line flag, so the tag's
// own entry keeps the plain value text.
#pragma once

#include <string>
#include <string_view>

#include "records/tag_entry.h"

namespace pixmeta {

// Tag 0x0001: macro mode, self-timer, quality, flash, drive and focus modes and more.
std::string ExpandCameraSettings(std::string_view valueText, DecodeContext& context);
// Tag 0x0004: white balance, sequence number, zoom step, AF point, flash bias, distance.
std::string ExpandShotInfo(std::string_view valueText, DecodeContext& context);
// Tag 0x000F: every element holds a function number (high byte) and its setting (low byte).
std::string ExpandCustomFunctions(std::string_view valueText, DecodeContext& context);

}  // namespace pixmeta
