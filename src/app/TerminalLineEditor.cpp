#include "app/TerminalLineEditor.h"

#include <histedit.h>
#include <langinfo.h>
#include <termios.h>
#include <unistd.h>

#include <fcntl.h>

#include <clocale>
#include <filesystem>
#include <cstdio>
#include <cstring>

#include "app/TerminalText.h"

struct TerminalLineEditor::Impl {
  int input = -1;
  Completer completer;
  FILE* in = nullptr;
  FILE* out = nullptr;
  EditLine* editor = nullptr;
  History* history = nullptr;
  std::string historyFile;
  termios saved{};
  bool haveSaved = false;
};

namespace {
const char* prompt(EditLine*) { return "> "; }

TerminalLineEditor::Impl* implOf(EditLine* editor) {
  void* data = nullptr;
  el_get(editor, EL_CLIENTDATA, &data);
  return static_cast<TerminalLineEditor::Impl*>(data);
}

// Moves to the end of the line and removes it all.
void clearLine(EditLine* editor) {
  const LineInfoW* line = el_wline(editor);
  el_cursor(editor, int(line->lastchar - line->cursor));
  line = el_wline(editor);
  el_deletestr(editor, int(line->lastchar - line->buffer));
}

// Ctrl-C: a line being typed is dropped; on an empty line the input ends.
unsigned char interruptKey(EditLine* editor, int) {
  const LineInfoW* line = el_wline(editor);
  if (line->lastchar == line->buffer) return CC_EOF;
  clearLine(editor);
  std::fputs("^C\n", implOf(editor)->out);
  return CC_REDISPLAY;
}

// The longest beginning all candidates share, in any case, cut at a character boundary.
std::string commonBeginning(const std::vector<std::string>& candidates) {
  std::string common = candidates.front();
  for (const auto& c : candidates) {
    size_t n = 0;
    while (n < common.size() && n < c.size() && std::tolower(static_cast<unsigned char>(common[n])) ==
                                                     std::tolower(static_cast<unsigned char>(c[n])))
      ++n;
    common.resize(n);
  }
  while (!common.empty() && (static_cast<unsigned char>(common.back()) & 0xC0) == 0x80) common.pop_back();
  if (!common.empty() && static_cast<unsigned char>(common.back()) >= 0xC0) common.pop_back();
  return common;
}

// Tab: completes the verb, or the name on screen after it; with several candidates
// and nothing more in common, lists them.
unsigned char completeKey(EditLine* editor, int) {
  auto* impl = implOf(editor);
  const LineInfo* line = el_line(editor);
  std::string before(line->buffer, line->cursor);
  TerminalCommands::Completion completion = impl->completer(before);
  if (completion.candidates.empty()) return CC_REFRESH_BEEP;
  std::string typed = before.substr(std::min(completion.replaceFrom, before.size()));
  bool one = completion.candidates.size() == 1;
  std::string replacement = one ? completion.candidates.front() + (completion.isVerb ? " " : "")
                                : commonBeginning(completion.candidates);
  bool longer = TerminalText::characterCount(replacement) > TerminalText::characterCount(typed);
  if (longer || (one && replacement != typed)) {
    el_deletestr(editor, int(TerminalText::characterCount(typed)));
    el_insertstr(editor, TerminalText::printable(replacement).c_str());
    return CC_REFRESH;
  }
  if (one) return CC_REFRESH_BEEP;
  std::string list = "\n";
  for (const auto& c : completion.candidates) list += TerminalText::echo(c, 60) + "   ";
  std::fputs((list + "\n").c_str(), impl->out);
  return CC_REDISPLAY;
}

// libedit reads characters through the locale: UTF-8 wherever one can be had.
void useUTF8Characters() {
  std::setlocale(LC_CTYPE, "");
  if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0) std::setlocale(LC_CTYPE, "C.UTF-8");
}
}  // namespace

TerminalLineEditor::TerminalLineEditor(int inputDescriptor, int outputDescriptor, Completer completer,
                                       std::string historyFile)
    : impl_(new Impl) {
  useUTF8Characters();
  impl_->input = inputDescriptor;
  impl_->completer = std::move(completer);
  impl_->haveSaved = tcgetattr(inputDescriptor, &impl_->saved) == 0;
  impl_->in = fdopen(dup(inputDescriptor), "r");
  impl_->out = fdopen(dup(outputDescriptor), "w");
  impl_->editor = el_init_fd("quillbark", impl_->in, impl_->out, impl_->out, inputDescriptor, outputDescriptor,
                             outputDescriptor);
  HistEvent event;
  impl_->history = history_init();
  history(impl_->history, &event, H_SETSIZE, kHistorySize);
  history(impl_->history, &event, H_SETUNIQUE, 1);
  impl_->historyFile = std::move(historyFile);
  // A missing or unreadable file is a history that starts empty.
  if (!impl_->historyFile.empty()) history(impl_->history, &event, H_LOAD, impl_->historyFile.c_str());
  EditLine* e = impl_->editor;
  el_set(e, EL_CLIENTDATA, impl_);
  el_set(e, EL_EDITOR, "emacs");
  el_set(e, EL_PROMPT, prompt);
  el_set(e, EL_HIST, history, impl_->history);
  // Ctrl-C comes to the editor as a key while a line is typed, not as a signal.
  el_set(e, EL_SETTY, "-d", "-isig", nullptr);
  // A Ctrl-C that stops a running command is answered on a line of its own; the
  // terminal's "^C" would run into that answer.
  el_set(e, EL_SETTY, "-x", "-echoctl", nullptr);
  el_set(e, EL_ADDFN, "qb-interrupt", "drop the line, or leave on an empty one", interruptKey);
  el_set(e, EL_BIND, "^C", "qb-interrupt", nullptr);
  el_set(e, EL_ADDFN, "qb-complete", "complete a command or a name on screen", completeKey);
  el_set(e, EL_BIND, "^I", "qb-complete", nullptr);
}

TerminalLineEditor::~TerminalLineEditor() {
  el_end(impl_->editor);
  history_end(impl_->history);
  std::fclose(impl_->in);
  std::fclose(impl_->out);
  delete impl_;
}

std::optional<std::string> TerminalLineEditor::readLine() {
  int count = 0;
  const char* text = el_gets(impl_->editor, &count);
  if (!text || count <= 0) {
    std::fputs("\n", impl_->out);
    std::fflush(impl_->out);
    return std::nullopt;
  }
  std::string line(text, size_t(count));
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
}

void TerminalLineEditor::remember(const std::string& line) {
  if (line.find_first_not_of(" \t") == std::string::npos) return;
  HistEvent event;
  history(impl_->history, &event, H_ENTER, line.c_str());
  if (impl_->historyFile.empty()) return;
  // Written whole to a file beside it and renamed over it, readable by the user alone
  // (a line may hold what was typed into a field): a session that ends at any moment
  // leaves the old history or the new one.
  std::string folder = impl_->historyFile.substr(0, impl_->historyFile.rfind('/'));
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  std::string temporary = impl_->historyFile + ".new-" + std::to_string(getpid());
  int descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (descriptor < 0) return;
  FILE* file = fdopen(descriptor, "w");
  if (!file) {
    ::close(descriptor);
    return;
  }
  bool written = history(impl_->history, &event, H_SAVE_FP, file) >= 0;
  written = std::fflush(file) == 0 && fsync(fileno(file)) == 0 && written;
  written = std::fclose(file) == 0 && written;
  if (!written || std::rename(temporary.c_str(), impl_->historyFile.c_str()) != 0) ::unlink(temporary.c_str());
}

void TerminalLineEditor::takeInterruptsAsKeys(bool on) {
  termios mode{};
  if (tcgetattr(impl_->input, &mode) != 0) return;
  // Off again gives back the signal only where the terminal had it when we found it.
  bool signals = !on && (!impl_->haveSaved || (impl_->saved.c_lflag & ISIG));
  mode.c_lflag = signals ? (mode.c_lflag | ISIG) : (mode.c_lflag & ~tcflag_t(ISIG));
  tcsetattr(impl_->input, TCSANOW, &mode);
}

void TerminalLineEditor::restoreTerminal() {
  if (impl_->haveSaved) tcsetattr(impl_->input, TCSANOW, &impl_->saved);
}
