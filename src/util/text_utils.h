// Small text helpers shared by every subsystem. Texts are single-byte Windows-1252 strings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pixmeta {

// Without the blanks and control characters (bytes up to 32) at both ends.
inline std::string_view TrimLeft(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && static_cast<unsigned char>(text[i]) <= 32) ++i;
  return text.substr(i);
}
inline std::string_view TrimRight(std::string_view text) {
  size_t n = text.size();
  while (n > 0 && static_cast<unsigned char>(text[n - 1]) <= 32) --n;
  return text.substr(0, n);
}
inline std::string_view Trim(std::string_view text) { return TrimRight(TrimLeft(text)); }

// A whole decimal number with an optional sign that fits 32 bits; none otherwise.
bool ParseInt32(std::string_view text, int32_t& value);

// The identification hash: rotate left by 2 bits, then exclusive-or with each byte.
uint32_t IdentHash(std::string_view text);

// The n-th token of the text between separators, counted from the start for n > 0 and from
// the end for n < 0; empty for n = 0, an empty text or a token that does not exist. Adjacent
// separators hold an empty token; a separator at the end starts no further token when
// counting from the start.
std::string TokenAt(std::string_view text, int n, char sep);

// Appends sep and the item (trimmed and unquoted) to the list unless the list holds it as a
// whole item, case-sensitively. No separator is written next to an empty list or item; an
// empty list starts as defaultText.
void AddListItem(std::string& list, std::string_view item, std::string_view sep,
                 std::string_view defaultText);
// Adds the ';'-separated items of the text, up to the first empty one, that the list does not
// hold anywhere as a substring, ignoring letter case.
void AddListItems(std::string& list, std::string_view text, std::string_view sep,
                  std::string_view defaultText);
// Adds the words of the text (split at blanks, commas, points and ';'), up to the first empty
// one, that do not occur in the list as it was before the call, ignoring letter case.
void AddListWords(std::string& list, std::string_view text, std::string_view sep,
                  std::string_view defaultText);

// The text without one pair of double quotes or apostrophes around it.
std::string_view Unquote(std::string_view text);

// Every byte from replaced by to.
std::string ReplaceChar(char from, char to, std::string_view text);

// The text with every occurrence of sub removed, also those that removing others forms.
std::string DeleteEvery(std::string_view sub, std::string_view text);

// Line breaks (CR LF, LF, CR) and tabs turned into c, and each pair of c then into one c.
std::string LineBreaksToChar(std::string_view text, char c);

// CR LF and LF as "\n", CR as "\r" and TAB as "\t"; and back, where "\r\n" and "\n"
// both become CR LF. Other backslashes stay as they are.
std::string EscapeControlChars(std::string_view text);
std::string UnescapeControlChars(std::string_view text);

}  // namespace pixmeta
