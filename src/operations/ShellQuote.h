#pragma once
// Quoting for the command lines the APT layer hands to two shells in turn: bash reads
// the launcher line `dedev "inner"`, and the launcher's /bin/sh reads the inner
// command. Every value goes through word() for the inner shell, and the whole inner
// command through insideDoubleQuotes() for the outer one, so any bytes at all arrive
// as the one argument they were.
#include <string>
#include <string_view>

namespace ShellQuote {
// One shell word. Plain characters (letters, digits and _@%+=:,./-) and bytes above
// 0x7F stay as they are; any other character gets a backslash in front (so a blank
// reads "\ "); a line feed, which a backslash can't carry, is written '<LF>'. The
// empty text is ''.
std::string word(std::string_view text);
// `text` made safe between bash's double quotes: $, `, " and a backslash that would
// otherwise escape one of these (or the closing quote) get a backslash. Other
// backslashes stay single, as bash keeps them there.
std::string insideDoubleQuotes(std::string_view text);
}  // namespace ShellQuote
