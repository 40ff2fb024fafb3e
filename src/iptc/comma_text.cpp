#include "iptc/comma_text.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

#include "platform/code_page.h"
#include "util/text_utils.h"

namespace pixmeta {
namespace {

bool IsSeparator(char c) { return c == ',' || c == '\r' || c == '\n'; }

bool NeedsQuotes(std::string_view item) {
  return (!item.empty() && item.front() == '"') || std::ranges::any_of(item, IsSeparator);
}

// Reads the quoted text whose opening quote is at text[i] into item; returns the index after
// its closing quote (or the end when it is missing).
size_t ReadQuoted(std::string_view text, size_t i, std::string& item) {
  for (++i; i < text.size(); ++i) {
    if (text[i] != '"') {
      item += text[i];
    } else if (i + 1 < text.size() && text[i + 1] == '"') {
      item += '"';
      ++i;
    } else {
      return i + 1;
    }
  }
  return i;
}

}  // namespace

std::vector<std::string> ParseCommaText(std::string_view text) {
  std::vector<std::string> items;
  size_t i = 0;
  while (i < text.size()) {
    std::string item;
    while (i < text.size() && !IsSeparator(text[i]) && static_cast<unsigned char>(text[i]) <= 32) {
      ++i;
    }
    if (i < text.size() && text[i] == '"') i = ReadQuoted(text, i, item);
    const size_t start = i;
    while (i < text.size() && !IsSeparator(text[i])) ++i;
    item.append(text.substr(start, i - start));
    const std::string_view trimmed = Trim(item);
    if (!trimmed.empty()) items.emplace_back(trimmed);
    ++i;  // past the separator
  }
  return items;
}

std::string JoinCommaText(std::span<const std::string> items) {
  std::string text;
  for (size_t n = 0; n < items.size(); ++n) {
    if (n > 0) text += ',';
    const std::string& item = items[n];
    if (!NeedsQuotes(item)) {
      text += item;
      continue;
    }
    text += '"';
    for (const char c : item) {
      if (c == '"') text += '"';
      text += c;
    }
    text += '"';
  }
  return text;
}

std::vector<std::string> DistinctItems(std::vector<std::string> items) {
  // Upper-cased, so that thousands of keywords are compared in linear time.
  std::unordered_set<std::string> held;
  std::vector<std::string> distinct;
  distinct.reserve(items.size());
  for (std::string& item : items) {
    if (held.insert(platform::UpperCase(item)).second) distinct.push_back(std::move(item));
  }
  return distinct;
}

}  // namespace pixmeta
