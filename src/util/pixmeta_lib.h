// Text helpers of this program's own: SQL literals, titles, file-name keys, numbers in names,
// JSON number values, and metadata texts that may be UTF-8. Texts are Windows-1252 bytes.
#pragma once

#include <string>
#include <string_view>

namespace pixmeta {

// Safe inside a double-quoted SQL literal: backslashes doubled, double quotes turned into
// apostrophes, TAB, CR and LF written as \t, \r and \n (so a statement stays on its line),
// NUL as a blank.
std::string SqlSafeText(std::string_view text);
// The text as a double-quoted SQL literal reads it back exactly: backslashes and double
// quotes escaped with a backslash, TAB, CR, LF and NUL as \t, \r, \n and \0.
std::string SqlExactText(std::string_view text);

// Each word with an upper-case first letter and the rest lower case; a one-letter word that
// a blank, '-' or '.' follows is lower case, unless that separator ends the text.
std::string CapitalizeWords(std::string_view text);

// Lower case, accented vowels folded to ASCII, ':' to '@' as '-', and every byte other than
// '!', '-', '_', digits and letters as '_'; as long as the text.
std::string FileNameSlug(std::string_view text);

// The file name after the last folder separator or drive colon, without its extension.
std::string FileNameWithoutExt(std::string_view path);

// The n-th (from 1) run of decimal digits; empty when there are fewer.
std::string DigitGroupAt(std::string_view text, int n);

// The run of digits and '-' at the start of the text (direction 1 or more) or at its end
// (below 1); the first byte never belongs to a run at the end.
std::string NumberRunAt(std::string_view text, int direction);

// A plain decimal number (optional '-', no leading zero before a digit, at most one point,
// not last) or one of the words "true" and "false".
bool IsNumberText(std::string_view text);

// Whether the first byte of 128 or above, among the first 16384 bytes, starts a UTF-8
// sequence whose continuation bytes all lie before the last byte examined.
bool LooksLikeUtf8(std::string_view text);

// The text read as UTF-8 and written in Windows-1252; a character the code page has not,
// and a byte run that is not UTF-8, become '?'.
std::string Utf8ToWindows1252(std::string_view text);
// The same, trimmed.
std::string Utf8ToAnsiText(std::string_view text);

// Utf8ToAnsiText of a text that LooksLikeUtf8, else the text itself.
std::string MetaText(std::string_view text);

}  // namespace pixmeta
