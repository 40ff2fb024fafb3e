#include "util/text_utils.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdint>

#include "util/skip_search.h"

namespace pixmeta {
namespace {

// The list helpers scan at most this many items of a text.
constexpr int kMaxListItems = 999;

// The text with blanks, commas and points turned into ';', so words split like items.
std::string WordsAsItems(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == ' ' || c == ',' || c == '.') c = ';';
  }
  return out;
}

}  // namespace

bool ParseInt32(std::string_view text, int32_t& value) {
  const bool plus = !text.empty() && text.front() == '+';
  if (plus) text.remove_prefix(1);
  if (text.empty() || (plus && text.front() == '-')) return false;
  int32_t parsed = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (ec != std::errc() || end != text.data() + text.size()) return false;
  value = parsed;
  return true;
}

uint32_t IdentHash(std::string_view text) {
  uint32_t h = 0;
  for (const char c : text) h = std::rotl(h, 2) ^ static_cast<unsigned char>(c);
  return h;
}

std::string TokenAt(std::string_view text, int n, char sep) {
  if (n == 0 || text.empty()) return {};
  if (n > 0) {
    const size_t last = text.size() - 1;
    int count = 0;
    for (size_t start = 0; start <= last;) {
      // The end is the first separator before the last byte, else the last byte, which
      // belongs to the token unless it is a separator.
      size_t end = start;
      while (end < last && text[end] != sep) ++end;
      if (++count == n) {
        const bool withLast = end == last && text[last] != sep;
        return std::string(text.substr(start, end - start + (withLast ? 1 : 0)));
      }
      start = end + 1;
    }
    return {};
  }
  const int64_t wanted = -static_cast<int64_t>(n);
  size_t end = text.size();  // just after the token
  for (int64_t count = 1;; ++count) {
    size_t begin = end;
    while (begin > 0 && text[begin - 1] != sep) --begin;
    if (count == wanted) return std::string(text.substr(begin, end - begin));
    if (begin == 0) return {};
    end = begin - 1;
  }
}

void AddListItem(std::string& list, std::string_view item, std::string_view sep,
                 std::string_view defaultText) {
  const std::string entry(Trim(Unquote(item)));
  const std::string framedEntry = std::string(sep) + entry + std::string(sep);
  const std::string framedList = std::string(sep) + list + std::string(sep);
  if (FindTextFrom(framedEntry, framedList, false, 1) > 0) return;
  if (entry.empty() || list.empty()) sep = {};
  if (list.empty()) list = defaultText;
  list += sep;
  list += entry;
}

void AddListItems(std::string& list, std::string_view text, std::string_view sep,
                  std::string_view defaultText) {
  const std::string_view items = Trim(text);
  if (items.empty()) return;
  for (int i = 1; i <= kMaxListItems; ++i) {
    const std::string token = TokenAt(items, i, ';');
    const std::string_view item = Trim(token);
    if (item.empty()) break;
    if (FindTextFrom(item, list, true, 1) == 0) AddListItem(list, item, sep, defaultText);
  }
}

void AddListWords(std::string& list, std::string_view text, std::string_view sep,
                  std::string_view defaultText) {
  const std::string words = WordsAsItems(Trim(text));
  if (words.empty()) return;
  // Compared against as the list was before this call.
  const std::string known = WordsAsItems(list);
  for (int i = 1; i <= kMaxListItems; ++i) {
    const std::string token = TokenAt(words, i, ';');
    const std::string_view word = Trim(token);
    if (word.empty()) break;
    if (FindTextFrom(word, known, true, 1) == 0) AddListItem(list, word, sep, defaultText);
  }
}

std::string_view Unquote(std::string_view text) {
  if (text.size() > 1 && (text.front() == '"' || text.front() == '\'') &&
      text.back() == text.front()) {
    return text.substr(1, text.size() - 2);
  }
  return text;
}

std::string ReplaceChar(char from, char to, std::string_view text) {
  std::string out(text);
  if (from != to) std::replace(out.begin(), out.end(), from, to);
  return out;
}

std::string DeleteEvery(std::string_view sub, std::string_view text) {
  std::string out(text);
  if (sub.empty()) return out;
  const size_t reach = sub.size() - 1;
  size_t from = 0;
  for (size_t at = out.find(sub); at != std::string::npos; at = out.find(sub, from)) {
    out.erase(at, sub.size());
    // Nothing matched before at, so an occurrence the deletion formed overlaps it: the
    // search may go on from there instead of from the start.
    from = at > reach ? at - reach : 0;
  }
  return out;
}

std::string LineBreaksToChar(std::string_view text, char c) {
  const std::string one(1, c);
  std::string out = SubstituteText(text, "\r\n", one, true, 0);
  for (const std::string_view breaks : {"\n", "\r", "\t"}) {
    out = SubstituteText(out, breaks, one, true, 0);
  }
  // One pass: of a run of three, two are left.
  return SubstituteText(out, std::string(2, c), one, true, 0);
}

std::string EscapeControlChars(std::string_view text) {
  std::string out = SubstituteText(text, "\r\n", "\\n", true, 0);
  out = SubstituteText(out, "\n", "\\n", true, 0);
  out = SubstituteText(out, "\r", "\\r", true, 0);
  return SubstituteText(out, "\t", "\\t", true, 0);
}

std::string UnescapeControlChars(std::string_view text) {
  std::string out = SubstituteText(text, "\\r\\n", "\r\n", true, 0);
  out = SubstituteText(out, "\\r", "\r", true, 0);
  out = SubstituteText(out, "\\n", "\r\n", true, 0);
  return SubstituteText(out, "\\t", "\t", true, 0);
}

}  // namespace pixmeta
