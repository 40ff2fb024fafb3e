// Where the running program lives, and the base name its logs are named after.
#pragma once

#include <string>
#include <string_view>

namespace pixmeta {

struct ProgramLocation {
  std::string programDir;       // ends in a separator
  std::string programBaseName;  // the file name without its extension
};
ProgramLocation FindProgramLocation();
// The base-name rule: 12 characters are removed from the first point on.
std::string ProgramBaseName(std::string_view fileName);

}  // namespace pixmeta
