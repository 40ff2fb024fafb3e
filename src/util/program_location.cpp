#include "util/program_location.h"

#include "platform/file_system.h"

namespace pixmeta {

std::string ProgramBaseName(std::string_view fileName) {
  std::string name(fileName);
  if (const size_t dot = name.find('.'); dot != std::string::npos) name.erase(dot, 12);
  return name;
}

ProgramLocation FindProgramLocation() {
  const platform::ExecutablePath exe = platform::RunningExecutable();
  return {exe.folder, ProgramBaseName(exe.fileName)};
}

}  // namespace pixmeta
