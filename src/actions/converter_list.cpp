#include "actions/converter_list.h"

#include <string>

#include "util/path_parts.h"

namespace pixmeta {

std::string_view ConverterRotation(std::string_view orientation) {
  // The dictionary's texts; the degree sign is the Windows-1252 byte 0xB0.
  if (orientation == "Rotated 180\xB0") return "-rotate 180";
  if (orientation == "CounterClockwise 90\xB0") return "-rotate 90";
  if (orientation == "Clockwise 90\xB0") return "-rotate -90";
  return {};
}

void AddConverterLine(RunContext& run, const FileState& file) {
  // The size hint lets the converter decode the JPEG at reduced size; the copy keeps the
  // bare file name, so it lands in the current folder.
  constexpr std::string_view kProgram = "convert -size \"2000x2000>\" ";
  constexpr std::string_view kResize = " -resize 1200";
  constexpr std::string_view kQuality = " -quality 80 ";
  const std::string_view rotation = ConverterRotation(file.report.ValueOf("Orientation"));
  const std::string_view name = FileNamePart(file.path);
  std::string line;
  line.reserve(kProgram.size() + file.path.size() + kResize.size() + 1 + rotation.size() +
               kQuality.size() + name.size());
  line += kProgram;
  line += file.path;
  line += kResize;
  if (!rotation.empty()) {
    line += ' ';
    line += rotation;
  }
  line += kQuality;
  line += name;
  run.outputList.Add(line);
}

}  // namespace pixmeta
