#pragma once
// The verbs a person types at the terminal's prompt: what each does, how to say it (the
// help texts), running one line, and completing a verb or a name on screen. Everything
// here runs on the main thread.
#include <atomic>
#include <string>
#include <vector>

class TerminalOutput;

namespace TerminalCommands {
// Runs one line: the screen and what it says go to `output`, a failure as an error.
// `interrupted` is set from another thread to cut a running command short (a wait).
// Answers false when the session should end.
bool execute(const std::string& line, TerminalOutput& output, const std::atomic<bool>& interrupted);
// Whether the line is kept in the history: not quit, nor what is typed into a password field.
bool keptInHistory(const std::string& line);

// All the commands, one line each, with the aliases and the counting convention.
std::string helpText();
// One command explained, with an example; nothing known by that name gives a hint.
std::string helpText(const std::string& verb);

// What can complete the word the cursor is in. `beforeCursor` is the line up to the
// cursor; `replaceFrom` is where the text being completed starts in it (the verb, or
// everything after the verb, since names on screen hold blanks).
struct Completion {
  size_t replaceFrom = 0;
  std::vector<std::string> candidates;  // those that begin with the text, in any case
  bool isVerb = false;
};
Completion complete(const std::string& beforeCursor);
}  // namespace TerminalCommands
