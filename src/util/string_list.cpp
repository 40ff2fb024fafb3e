#include "util/string_list.h"

#include "platform/code_page.h"
#include "platform/file_system.h"

namespace pixmeta {

void StringList::AddAll(const StringList& other) {
  lines_.insert(lines_.end(), other.lines_.begin(), other.lines_.end());
}

std::string StringList::ValueOf(std::string_view key) const {
  for (const std::string& line : lines_) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    if (platform::EqualNoCase(std::string_view(line).substr(0, eq), key)) {
      return line.substr(eq + 1);
    }
  }
  return {};
}

std::string StringList::Text() const {
  size_t size = 0;
  for (const std::string& line : lines_) size += line.size() + 2;
  std::string text;
  text.reserve(size);
  for (const std::string& line : lines_) {
    text += line;
    text += "\r\n";
  }
  return text;
}

bool StringList::SaveToFile(const std::string& path, std::string& errorText) const {
  return platform::SaveLines(path, lines_, errorText);
}

}  // namespace pixmeta
