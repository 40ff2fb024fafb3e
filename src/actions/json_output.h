// The JSON summary of the first file: pixel size, capture date, a title from its comments,
// descriptions and IPTC texts, and its GPS position, as one line of members without braces.
#pragma once

#include <string>
#include <string_view>

#include "actions/file_state.h"
#include "actions/run_context.h"
#include "exif/jpeg_container.h"

namespace pixmeta {

// Appends "key":value to members, after a comma when members is not empty. The value is
// trimmed; an empty value, or a key whose "key": already occurs anywhere in members, adds
// nothing. Number texts and true/false are written bare, everything else quoted and escaped
// so that the decoded string is the value itself.
void AddJsonMember(std::string& members, std::string_view key, std::string_view value);

// The comment, the user comment (else Comments), ImageDescription, Subject, Title and the
// IPTC caption, headline, by-line, by-line title, object name, city and location name, as
// ", "-separated items, each once; empty for a file without EXIF.
std::string BuildTitleText(const TimgData& container);

// Writes the file's members on one console line, also when there are none.
void PrintJson(RunContext& run, const FileState& file);

}  // namespace pixmeta
