#include "actions/json_output.h"

#include <string_view>

#include "actions/title_texts.h"
#include "util/pixmeta_lib.h"
#include "util/skip_search.h"
#include "util/text_utils.h"

namespace pixmeta {
namespace {

constexpr std::string_view kTitleSeparator = ", ";

// A number text that JSON reads as a number too: JSON has no "-.5" and no "-05", which
// IsNumberText takes; those are written as texts instead.
bool IsBareValue(std::string_view value) {
  if (!IsNumberText(value)) return false;
  if (value.size() < 2 || value[0] != '-') return true;
  if (value[1] == '.') return false;
  return !(value[1] == '0' && value.size() > 2 && value[2] != '.');
}

// Bytes of 0x80 and above stay as they are: the console writes them as UTF-8.
void AppendEscaped(std::string& out, std::string_view text) {
  constexpr std::string_view kHex = "0123456789abcdef";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (byte < 0x20) {
      out += "\\u00";
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    } else {
      out += c;
    }
  }
}

}  // namespace

void AddJsonMember(std::string& members, std::string_view key, std::string_view value) {
  const std::string_view trimmed = Trim(value);
  if (trimmed.empty()) return;
  std::string head = "\"";
  head += Trim(key);
  head += "\":";
  if (FindTextFrom(head, members, false, 1) > 0) return;
  if (!members.empty()) members += ',';
  members += head;
  if (IsBareValue(trimmed)) {
    members += trimmed;
    return;
  }
  members += '"';
  AppendEscaped(members, trimmed);
  members += '"';
}

std::string BuildTitleText(const TimgData& container) {
  std::string title;
  const TImageInfo* exif = container.Exif();
  if (!container.HasExif() || exif == nullptr) return title;
  ForEachTitleText(container, *exif, [&title](std::string_view item) {
    AddListItem(title, item, kTitleSeparator, {});
  });
  return title;
}

void PrintJson(RunContext& run, const FileState& file) {
  std::string members;
  AddJsonMember(members, "width", file.report.ValueOf("ImageWidth"));
  AddJsonMember(members, "height", file.report.ValueOf("ImageHeight"));
  AddJsonMember(members, "datetime", file.report.ValueOf("DateTimeOriginal"));
  AddJsonMember(members, "title", file.title);
  AddJsonMember(members, "latitude", file.latitude);
  AddJsonMember(members, "longitude", file.longitude);
  run.console.WriteLine(members);
}

}  // namespace pixmeta
