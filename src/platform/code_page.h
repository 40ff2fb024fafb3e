// The program works on single-byte Windows-1252 text internally. This module owns the
// conversions at the boundary (console and saved files are UTF-8) and the byte case tables.
#pragma once

#include <string>
#include <string_view>

namespace pixmeta::platform {

// Text as written to the console and to saved files: byte runs that already form valid
// UTF-8 pass unchanged, every other byte is taken as its Windows-1252 character. Text that
// is already such output comes out unchanged.
std::string ToOutputUtf8(std::string_view text);

// The same, appended to out; with lfLineEnds every CR LF pair becomes LF, as the console
// writes lines. Runs of plain ASCII are found many bytes at a time and copied whole.
void AppendOutputUtf8(std::string& out, std::string_view text, bool lfLineEnds);

// Upper and lower case of one Windows-1252 byte.
char UpperByte(char c);
char LowerByte(char c);

std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);

// Equality ignoring letter case, by the same tables.
bool EqualNoCase(std::string_view a, std::string_view b);

}  // namespace pixmeta::platform
