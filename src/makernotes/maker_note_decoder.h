// Decoding of the EXIF MakerNote: the camera maker is recognised from the Make text, and
// the EXIF object walks the maker's private directory with that maker's tag table.
#pragma once

#include "exif/maker_note_host.h"

namespace pixmeta {

// Chooses the table and the directory layout by the first five letters of the upper-cased
// Make and walks the maker note; false, with nothing touched, for a maker not known here.
// Values that lie outside the maker note are read relative to the EXIF TIFF header.
bool ReadMakerNote(MakerNoteHost& host);

}  // namespace pixmeta
