#pragma once
// Shell command lines: quoting of single values, the words of a plain text, and
// running a line with /bin/bash.
//
// Two quoting forms, both safe for any bytes:
// - quote() wraps a value in single quotes, for a line that one shell reads;
// - word() escapes with backslashes and leaves plain values as they are, so a line
//   keeps its familiar look (a blank reads "\ "). The APT layer's lines pass two
//   shells: bash reads the launcher line `dedev "inner"`, and the launcher's /bin/sh
//   reads the inner command. Each value goes through word() for the inner shell, and
//   the whole inner command through insideDoubleQuotes() for the outer one.
#include <string>
#include <string_view>
#include <vector>

namespace ShellCommand {
// One argument as a POSIX shell word: wrapped in single quotes, with each ' written
// '\''.
std::string quote(const std::string& argument);
// One shell word. Plain characters (letters, digits and _@%+=:,./-) and bytes above
// 0x7F stay as they are; any other character gets a backslash in front; a line feed,
// which a backslash can't carry, is written '<LF>'. The empty text is ''.
std::string word(std::string_view text);
// `text` made safe between bash's double quotes: $, `, " and a backslash that would
// otherwise escape one of these (or the closing quote) get a backslash. Other
// backslashes stay single, as bash keeps them there.
std::string insideDoubleQuotes(std::string_view text);
// Splits at runs of blanks (no quoting rules: the words of a plain text).
std::vector<std::string> splitWords(const std::string& text);
// Runs "/bin/bash -c <line>" with the process's environment and waits for it.
// Answers the exit status (128 + the signal number when a signal ended it), or -1
// when it could not be started.
int runAndWait(const std::string& commandLine);
}  // namespace ShellCommand
