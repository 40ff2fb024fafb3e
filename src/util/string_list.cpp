#include "util/string_list.h"

#include "platform/code_page.h"
#include "platform/file_system.h"

namespace pixmeta {

void StringList::AddAll(const StringList& other) {
  lines_.insert(lines_.end(), other.lines_.begin(), other.lines_.end());
}

void StringList::AddAll(StringList&& other) {
  if (lines_.empty()) {
    lines_ = std::move(other.lines_);
    return;
  }
  lines_.insert(lines_.end(), std::make_move_iterator(other.lines_.begin()),
                std::make_move_iterator(other.lines_.end()));
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
  std::string text;
  AppendText(text);
  return text;
}

void StringList::AppendText(std::string& out) const {
  size_t size = out.size();
  for (const std::string& line : lines_) size += line.size() + 2;
  out.reserve(size);
  for (const std::string& line : lines_) {
    out += line;
    out += "\r\n";
  }
}

bool StringList::SaveToFile(const std::string& path, std::string& errorText) const {
  return platform::SaveLines(path, lines_, errorText);
}

}  // namespace pixmeta
