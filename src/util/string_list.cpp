#include "util/string_list.h"

#include "platform/code_page.h"

namespace pixmeta {

void StringList::AddAll(const StringList& other) {
  const size_t shift = text_.size();
  for (const size_t start : other.starts_) starts_.push_back(start + shift);
  text_.Append(other.text_.view());
}

void StringList::Clear() {
  text_.clear();
  starts_.clear();
}

std::string_view StringList::operator[](size_t i) const {
  const size_t end = i + 1 < starts_.size() ? starts_[i + 1] : text_.size();
  return {text_.data() + starts_[i], end - starts_[i] - 2};
}

std::string_view StringList::ValueOf(std::string_view key) const {
  // A key with "=" in it matches no line: the text before a line's first "=" has none.
  if (key.find('=') != std::string_view::npos) return {};
  const size_t n = key.size();
  const char* text = text_.data();
  for (size_t i = 0; i < starts_.size(); ++i) {
    const size_t start = starts_[i];
    const size_t end = (i + 1 < starts_.size() ? starts_[i + 1] : text_.size()) - 2;
    // Letter case never maps another byte to "=", so equal keys put the line's first "="
    // right after them.
    if (end - start > n && text[start + n] == '=' &&
        platform::EqualNoCase(std::string_view(text + start, n), key)) {
      return {text + start + n + 1, end - start - n - 1};
    }
  }
  return {};
}

}  // namespace pixmeta
