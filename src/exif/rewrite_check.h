// The last check before an edited file replaces the original: the new header, read again
// by the same reader, must read as the old one but for what the edits changed.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "exif/jpeg_codec.h"

namespace pixmeta {

class HeaderSplices;
class TimgData;

// What reads differently in header, the new header that splices made from the old one
// whose segments are oldSegments, than in before (the container loaded from the old file
// and edited since), apart from the edited values; empty when nothing does.
std::string DifferenceAfterRewrite(const TimgData& before,
                                   std::span<const JpegImage::Segment> oldSegments,
                                   const HeaderSplices& splices, std::string_view header);

}  // namespace pixmeta
