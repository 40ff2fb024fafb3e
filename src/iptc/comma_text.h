// Comma text: the form in which a repeatable IPTC key (keywords, supplemental categories)
// holds all its items in one value.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace pixmeta {

// The items of comma text. Commas separate items, and so do blanks and control characters
// outside double quotes; inside them a doubled quote stands for one. A comma at the start,
// between two commas or at the end stands for an empty item.
std::vector<std::string> ParseCommaText(std::string_view text);

// Items joined by "," with no space; an item holding a blank, control character, comma or
// double quote is written in double quotes, with its quotes doubled.
std::string JoinCommaText(std::span<const std::string> items);

// The items of added, each trimmed, appended to those of existing unless an item equal to
// it ignoring letter case is already there; order is kept.
std::string MergeCommaText(std::string_view existing, std::string_view added);

// MergeCommaText over many values in turn, in time that grows with their total length:
// a segment can hold thousands of keywords.
class CommaTextMerger {
 public:
  void Add(std::string_view added);
  std::string Text() const { return JoinCommaText(items_); }

 private:
  std::vector<std::string> items_;
  std::unordered_set<std::string> held_;  // the items, upper-cased
};

}  // namespace pixmeta
