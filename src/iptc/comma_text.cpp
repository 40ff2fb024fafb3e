#include "iptc/comma_text.h"

#include <algorithm>

#include "platform/code_page.h"
#include "util/text_utils.h"

namespace pixmeta {
namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

bool NeedsQuotes(std::string_view item) {
  return std::ranges::any_of(item, [](char c) { return IsBlank(c) || c == ',' || c == '"'; });
}

size_t SkipBlanks(std::string_view text, size_t i) {
  while (i < text.size() && IsBlank(text[i])) ++i;
  return i;
}

// Reads the quoted item whose opening quote is at text[i]; returns the index after its
// closing quote (or the end when it is missing).
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
  size_t i = SkipBlanks(text, 0);
  while (i < text.size()) {
    std::string& item = items.emplace_back();
    if (text[i] == '"') {
      i = ReadQuoted(text, i, item);
    } else {
      const size_t start = i;
      while (i < text.size() && !IsBlank(text[i]) && text[i] != ',') ++i;
      item.assign(text.substr(start, i - start));
    }
    i = SkipBlanks(text, i);
    if (i < text.size() && text[i] == ',') {
      i = SkipBlanks(text, i + 1);
      if (i == text.size()) items.emplace_back();
    }
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

std::string MergeCommaText(std::string_view existing, std::string_view added) {
  // Text without blanks, control characters or quotes is its items joined by commas, so one
  // such item merges into such a list without taking either apart. Keywords are.
  const auto plain = [](std::string_view text) {
    return std::ranges::none_of(text, [](char c) { return IsBlank(c) || c == '"'; });
  };
  if (!added.empty() && added.find(',') == std::string_view::npos && plain(added) &&
      plain(existing)) {
    if (existing.empty()) return std::string(added);
    for (size_t start = 0;;) {
      const size_t comma = existing.find(',', start);
      if (platform::EqualNoCase(existing.substr(start, comma - start), added)) {
        return std::string(existing);
      }
      if (comma == std::string_view::npos) break;
      start = comma + 1;
    }
    std::string merged(existing);
    merged += ',';
    merged += added;
    return merged;
  }
  std::vector<std::string> items = ParseCommaText(existing);
  for (const std::string& item : ParseCommaText(added)) {
    const std::string_view trimmed = Trim(item);
    const bool present = std::ranges::any_of(
        items, [&](const std::string& held) { return platform::EqualNoCase(held, trimmed); });
    if (!present) items.emplace_back(trimmed);
  }
  return JoinCommaText(items);
}

}  // namespace pixmeta

namespace pixmeta {

void CommaTextMerger::Add(std::string_view added) {
  for (const std::string& item : ParseCommaText(added)) {
    const std::string_view trimmed = Trim(item);
    if (held_.insert(platform::UpperCase(trimmed)).second) items_.emplace_back(trimmed);
  }
}

}  // namespace pixmeta
