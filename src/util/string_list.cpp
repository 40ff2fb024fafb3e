#include "util/string_list.h"

#include "platform/code_page.h"

namespace pixmeta {

void StringList::AddAll(const StringList& other) {
  const size_t shift = text_.size();
  for (size_t i = 1; i < other.starts_.size(); ++i) starts_.push_back(other.starts_[i] + shift);
  text_.Append(other.text_.view());
}

void StringList::Clear() {
  text_.clear();
  starts_.resize(1);
}

std::string_view StringList::ValueOf(std::string_view key) const {
  // A key with "=" in it matches no line: the text before a line's first "=" has none.
  if (key.find('=') != std::string_view::npos) return {};
  const size_t n = key.size();
  const char* text = text_.data();
  const size_t size = text_.size();
  const size_t* start = starts_.data();
  const size_t* last = start + starts_.size() - 1;
  for (; start < last; ++start) {
    // Letter case never maps another byte to "=", so equal keys put the line's first "="
    // right after them; a line holds its text and CR LF, so the byte after a key's length
    // is read from the text even where the line is shorter, and checked after.
    const size_t at = start[0] + n;
    if (at >= size || text[at] != '=') continue;
    const size_t length = start[1] - start[0] - 2;
    if (length > n && platform::EqualNoCase(std::string_view(text + start[0], n), key)) {
      return {text + at + 1, length - n - 1};
    }
  }
  return {};
}

}  // namespace pixmeta
