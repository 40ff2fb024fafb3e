#include "makernotes/nikon_formatters.h"

#include <array>

#include "exif/value_format.h"

namespace pixmeta {

std::string FormatNikonLens(std::string_view valueText, DecodeContext&) {
  std::array<double, 4> numbers{};
  std::string_view rest = valueText;
  for (double& number : numbers) {
    if (rest.empty()) break;
    const size_t comma = rest.find(',');
    number = ParseRationalText(rest.substr(0, comma));
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
  }
  std::string text = FormatFixed(numbers[0], 0, 1);
  text += '-';
  text += FormatFixed(numbers[1], 0, 1);
  text += "(mm)  F";
  text += FormatFixed(numbers[2], 0, 1);
  text += "-F";
  text += FormatFixed(numbers[3], 0, 1);
  return text;
}

std::string FormatNikonColorMode(std::string_view valueText, DecodeContext&) {
  const std::string_view mode = valueText.size() > 1 ? valueText.substr(1, 5) : "";
  if (mode == "MODE1") return "Mode1 (sRGB)";
  if (mode == "MODE2") return "Mode 2 (Adobe RGB)";
  if (mode == "MODE3") return "Mode 3 (sRGB): higher saturation";
  return std::string(mode);
}

}  // namespace pixmeta
