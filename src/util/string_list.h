// An ordered list of text lines: every list of output, log and report lines is one. An item
// may itself hold several lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pixmeta {

class StringList {
 public:
  void Add(std::string line) { lines_.push_back(std::move(line)); }
  void AddAll(const StringList& other);
  void AddAll(StringList&& other);
  void Clear() { lines_.clear(); }

  size_t Count() const { return lines_.size(); }
  bool Empty() const { return lines_.empty(); }
  const std::string& operator[](size_t i) const { return lines_[i]; }
  const std::vector<std::string>& Lines() const { return lines_; }
  auto begin() const { return lines_.begin(); }
  auto end() const { return lines_.end(); }

  // The text after the first "=" of the first line whose text before its first "=" equals
  // key, ignoring letter case; empty when there is none.
  std::string ValueOf(std::string_view key) const;

  // All lines joined, each ended by CR LF.
  std::string Text() const;
  void AppendText(std::string& out) const;

  // Saves the lines as UTF-8 with CR LF line ends; false with errorText on failure.
  bool SaveToFile(const std::string& path, std::string& errorText) const;

 private:
  std::vector<std::string> lines_;
};

}  // namespace pixmeta
