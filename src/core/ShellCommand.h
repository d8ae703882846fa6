#pragma once
// Shell command lines: quoting of single arguments and running a line with /bin/bash.
#include <string>
#include <vector>

namespace ShellCommand {
// One argument as a POSIX shell word: wrapped in single quotes, with each ' written
// '\''. Safe for any bytes, including blanks, $, `, ; and line feeds.
std::string quote(const std::string& argument);
// Splits at runs of blanks (no quoting rules: the words of a plain text).
std::vector<std::string> splitWords(const std::string& text);
// Runs "/bin/bash -c <line>" with the process's environment and waits for it.
// Answers the exit status, or -1 when it could not be started.
int runAndWait(const std::string& commandLine);
}  // namespace ShellCommand
