// The texts that make a photo's title, in the order both the JSON title and the database
// title list take them.
#pragma once

#include <string_view>

#include "exif/jpeg_container.h"
#include "util/pixmeta_lib.h"
#include "util/text_utils.h"

namespace pixmeta {

// Calls add with each title text of a container that has EXIF: the JPEG comment, the user
// comment (else the Comments entry), the description, subject and title entries, then the
// IPTC caption, headline, by-line, by-line title, object name, city and location.
template <typename Add>
void ForEachTitleText(const TimgData& container, const TImageInfo& exif, Add&& add) {
  if (container.HasComment()) add(EscapeControlChars(container.GetComment()));
  add(MetaText(exif.userComment.empty() ? exif.LookupValue("Comments") : exif.userComment));
  for (const std::string_view name : {"ImageDescription", "Subject", "Title"}) {
    add(MetaText(exif.LookupValue(name)));
  }
  const TIPTCdata* iptc = container.Iptc();
  if (!container.HasIptc() || iptc == nullptr) return;
  for (const std::string_view key : {"ImageCaption", "ImageHeadline", "ByLine", "ByLineTitle",
                                     "ObjectName", "City", "LocationName"}) {
    add(iptc->HeldValue(key));
  }
}

}  // namespace pixmeta
