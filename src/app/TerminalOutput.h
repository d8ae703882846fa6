#pragma once
// Where a terminal session's text goes: the screen and what the session says on standard
// output, errors on standard error. On a terminal the text is fitted to its width and
// coloured (titles, the floating card, alerts, row states, errors) unless NO_COLOR is
// set; into a pipe or a file it goes plain and unwrapped. Whatever comes from outside
// is escaped first (TerminalText::printable), so the only control codes that reach the
// terminal are our own colours.
#include <cstddef>
#include <iosfwd>
#include <string>

class TerminalOutput {
 public:
  // The descriptors are those the streams write to, asked for the terminal's width.
  TerminalOutput(std::ostream& out, int outDescriptor, std::ostream& err, int errDescriptor);

  // A screen as UIScreenText describes it.
  void screen(const std::string& text);
  // What the session says (help, notes), fitted but not coloured.
  void say(const std::string& text);
  // "! " and the message on standard error, counted; `detail` follows on lines of its own.
  void error(const std::string& message, const std::string& detail = {});
  // The prompt, with everything written so far.
  void prompt(const std::string& text);
  size_t errorCount() const { return errors_; }

  // Whether text for `descriptor` is coloured: a terminal, NO_COLOR unset or empty, and
  // a TERM other than "dumb".
  static bool wantsColour(int descriptor);

 private:
  std::ostream& out_;
  std::ostream& err_;
  int outDescriptor_;
  int errDescriptor_;
  bool colourOut_;
  bool colourErr_;
  size_t errors_ = 0;
};
