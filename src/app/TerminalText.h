#pragma once
// Text bound for a person's terminal. Whatever comes from outside (a typed line, a
// repository's texts on screen) may hold bytes that are not UTF-8 or control codes that
// would move the cursor or change the terminal's state: those are shown escaped, as
// \xNN, and an echo of what was typed is cut to a readable length.
#include <cstddef>
#include <string>
#include <string_view>

namespace TerminalText {
// Invalid UTF-8 bytes and control characters (but line feeds and tabs) as \xNN, C1
// controls as \u0080-\u009F.
std::string printable(std::string_view text);
// printable(), cut after `limit` characters with a note of how many were left out.
std::string echo(std::string_view text, size_t limit = 160);
// Without the blanks and line ends at either end.
std::string trim(const std::string& text);
// A typed line without its comment, as a shell reads one: from a "#" that begins the
// line or follows two blanks ("tap Skip  # the sign-in, skipped" is "tap Skip  "). A
// "#" after one blank is text ("tap Fonts #2").
std::string withoutComment(const std::string& line);
// A line as typed at the prompt, where a person may have copied the prompt's own mark
// with it ("> tap Skip" is "tap Skip"); a line of only the mark is empty.
std::string withoutPromptMark(const std::string& line);
// "1 second", "3 seconds", "2.5 seconds".
std::string seconds(double value);
// The number of characters (code points) of UTF-8 text.
size_t characterCount(std::string_view utf8);
// The columns UTF-8 text takes on a terminal: wide (East Asian) characters two,
// combining marks none; colour codes (ESC [ ... m) none.
size_t displayWidth(std::string_view utf8);
// Each line fitted to `columns`: broken at blanks and continued under its text (after
// a leading "label: " or "S.R: ", else the line's own indent and two more), a word
// wider than a line cut with an ellipsis. With 0 columns the text is unchanged.
std::string fitToWidth(std::string_view text, size_t columns);
}  // namespace TerminalText
