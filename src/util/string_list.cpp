#include "util/string_list.h"

#include "platform/code_page.h"

namespace pixmeta {

void StringList::Add(std::string_view line) {
  starts_.push_back(text_.size());
  text_ += line;
  text_ += "\r\n";
}

void StringList::AddJoined(std::initializer_list<std::string_view> parts) {
  starts_.push_back(text_.size());
  for (const std::string_view part : parts) text_ += part;
  text_ += "\r\n";
}

void StringList::AddAll(const StringList& other) {
  const size_t shift = text_.size();
  for (const size_t start : other.starts_) starts_.push_back(start + shift);
  text_ += other.text_;
}

void StringList::Clear() {
  text_.clear();
  starts_.clear();
}

std::string_view StringList::operator[](size_t i) const {
  const size_t end = i + 1 < starts_.size() ? starts_[i + 1] : text_.size();
  return std::string_view(text_).substr(starts_[i], end - starts_[i] - 2);
}

std::string_view StringList::ValueOf(std::string_view key) const {
  // A key with "=" in it matches no line: the text before a line's first "=" has none.
  if (key.find('=') != std::string_view::npos) return {};
  const size_t n = key.size();
  for (size_t i = 0; i < starts_.size(); ++i) {
    const std::string_view line = (*this)[i];
    // Letter case never maps another byte to "=", so equal keys put the line's first "="
    // right after them.
    if (line.size() > n && line[n] == '=' && platform::EqualNoCase(line.substr(0, n), key)) {
      return line.substr(n + 1);
    }
  }
  return {};
}

}  // namespace pixmeta
