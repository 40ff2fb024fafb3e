// Comma text: the form in which a repeatable IPTC key (keywords, supplemental categories)
// holds all its items in one value. Commas and line breaks separate items; a blank belongs
// to its item, so "New York" is one keyword.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pixmeta {

// The items of comma text, each trimmed, empty ones left out. An item that begins with a
// double quote runs to its closing quote, commas and line breaks included; inside, a doubled
// quote stands for one.
std::vector<std::string> ParseCommaText(std::string_view text);

// Items joined by ","; an item holding a comma or a line break, or beginning with a double
// quote, is written in double quotes with its quotes doubled, so that it reads back whole.
std::string JoinCommaText(std::span<const std::string> items);

// The items without any that equals an earlier one ignoring letter case; order kept.
std::vector<std::string> DistinctItems(std::vector<std::string> items);

}  // namespace pixmeta
