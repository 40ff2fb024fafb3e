// Reading and setting a file's times as day counts.
#pragma once

#include <string>

namespace pixmeta {

// Last-write time as a day count in UTC; 0 when the file cannot be found.
double FileModifiedUtc(const std::string& path);

// Sets the file's times from local day counts; a day count of 0 leaves that time as it is.
// The creation time cannot be set on this platform. False with errorText on failure.
bool SetFileDates(const std::string& path, double created, double accessed, double modified,
                  std::string& errorText);

}  // namespace pixmeta
