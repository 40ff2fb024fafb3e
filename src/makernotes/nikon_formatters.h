// Display texts of two Nikon maker-note values: the lens and the colour mode.
#pragma once

#include <string>
#include <string_view>

#include "records/tag_entry.h"

namespace pixmeta {

// Four rationals (shortest and longest focal length, widest aperture at each end) as
// "24.0-120.0(mm)  F2.8-F4.5"; an element that is missing or not a rational counts as 0.
std::string FormatNikonLens(std::string_view valueText, DecodeContext& context);

// The five characters after the opening quote of a text value: "MODE2" gives
// "Mode 2 (Adobe RGB)"; a mode without a name is shown as those characters.
std::string FormatNikonColorMode(std::string_view valueText, DecodeContext& context);

}  // namespace pixmeta
