#include "app/TerminalOutput.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ostream>

#include "app/TerminalText.h"

namespace {
const char* kReset = "\x1B[0m";

// The terminal's width now (it may have been resized since the last line); 0 for a pipe
// or a file, whose text is not wrapped.
size_t columnsOf(int descriptor) {
  winsize size{};
  if (!isatty(descriptor) || ioctl(descriptor, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

std::string colour(const char* code) { return std::string("\x1B[") + code + "m"; }

// Lines known by how they begin: the title, the floating card, an alert.
const char* lineColour(const std::string& line) {
  struct Kind {
    const char* start;
    const char* code;
  };
  static const Kind kinds[] = {{"title: ", "1"}, {"floating: ", "1;36"}, {"alert: ", "1;33"}};
  for (const Kind& kind : kinds)
    if (line.rfind(kind.start, 0) == 0) return kind.code;
  return nullptr;
}

// A row's state, as the package rows and the buttons show it, up to its ")".
const char* stateColour(const std::string& line, size_t at) {
  struct State {
    const char* text;
    const char* code;
  };
  static const State states[] = {{"(installed)", "32"}, {"(install)", "32"},   {"(uninstall)", "31"},
                                 {"(upgrade)", "34"},   {"(downgrade)", "33"}, {"(reinstall)", "35"},
                                 {"(disabled", "2"}};
  for (const State& state : states)
    if (line.compare(at, std::strlen(state.text), state.text) == 0) return state.code;
  return nullptr;
}

std::string colouredLine(const std::string& line) {
  const char* whole = lineColour(line);
  std::string out = whole ? colour(whole) : "";
  for (size_t i = 0; i < line.size();) {
    const char* state = line[i] == '(' ? stateColour(line, i) : nullptr;
    size_t close = state ? line.find(')', i) : std::string::npos;
    if (close == std::string::npos) {
      out += line[i++];
      continue;
    }
    out += colour(state) + line.substr(i, close + 1 - i) + kReset + (whole ? colour(whole) : "");
    i = close + 1;
  }
  if (whole) out += kReset;
  return out;
}

// The screen's lines with the colours of what they show.
std::string coloured(const std::string& screenText) {
  std::string out;
  for (size_t start = 0; start < screenText.size();) {
    size_t end = screenText.find('\n', start);
    if (end == std::string::npos) end = screenText.size();
    out += colouredLine(screenText.substr(start, end - start));
    if (end < screenText.size()) out += '\n';
    start = end + 1;
  }
  return out;
}

// Written at once: a wait tells what happens while it happens.
void writeFitted(std::ostream& stream, int descriptor, const std::string& text) {
  stream << TerminalText::fitToWidth(text, columnsOf(descriptor)) << std::flush;
}
}  // namespace

TerminalOutput::TerminalOutput(std::ostream& out, int outDescriptor, std::ostream& err, int errDescriptor)
    : out_(out),
      err_(err),
      outDescriptor_(outDescriptor),
      errDescriptor_(errDescriptor),
      colourOut_(wantsColour(outDescriptor)),
      colourErr_(wantsColour(errDescriptor)) {}

bool TerminalOutput::wantsColour(int descriptor) {
  const char* noColour = std::getenv("NO_COLOR");
  const char* term = std::getenv("TERM");
  return isatty(descriptor) && !(noColour && *noColour) && !(term && std::strcmp(term, "dumb") == 0);
}

void TerminalOutput::screen(const std::string& text) {
  std::string shown = TerminalText::printable(text);
  writeFitted(out_, outDescriptor_, colourOut_ ? coloured(shown) : shown);
}

void TerminalOutput::say(const std::string& text) { writeFitted(out_, outDescriptor_, TerminalText::printable(text)); }

void TerminalOutput::error(const std::string& message, const std::string& detail) {
  ++errors_;
  // Both streams may end in one file: what was said before the error comes first.
  out_.flush();
  std::string line = "! " + TerminalText::echo(message, 400);
  if (colourErr_) line = colour("31") + line + kReset;
  writeFitted(err_, errDescriptor_, line + "\n");
  if (!detail.empty()) writeFitted(err_, errDescriptor_, "  " + TerminalText::echo(detail, 400) + "\n");
}

void TerminalOutput::prompt(const std::string& text) { out_ << text << std::flush; }
