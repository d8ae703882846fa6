#pragma once
// Line editing at the terminal's prompt (libedit): moving in the line, Up and Down
// through the lines typed before (kept in a history file from one session to the next),
// Tab completion, and Ctrl-C, which clears a line being typed and, on an empty line,
// ends the input as Ctrl-D does. It reads on whichever thread calls readLine; the
// completion source is called there too.
#include <functional>
#include <optional>
#include <string>

#include "app/TerminalCommands.h"

class TerminalLineEditor {
 public:
  using Completer = std::function<TerminalCommands::Completion(const std::string& beforeCursor)>;

  // `historyFile`, when not empty, holds the lines of earlier sessions; it is read now
  // and rewritten as lines are remembered, its folder made when missing.
  TerminalLineEditor(int inputDescriptor, int outputDescriptor, Completer completer, std::string historyFile = {});
  ~TerminalLineEditor();
  TerminalLineEditor(const TerminalLineEditor&) = delete;
  TerminalLineEditor& operator=(const TerminalLineEditor&) = delete;

  // The next line, without its line feed. Nothing at Ctrl-D or Ctrl-C on an empty line,
  // or when the input ends.
  std::optional<std::string> readLine();
  // Keeps a line for Up and Down, and in the history file (the last kHistorySize lines).
  // Not while readLine runs on another thread.
  void remember(const std::string& line);
  static constexpr int kHistorySize = 500;
  // While on, Ctrl-C reaches the editor as a key and never as a signal. The caller turns
  // it on before readLine and off after: libedit prints its prompt before it puts the
  // terminal into its own mode, so a Ctrl-C typed at a prompt already shown could
  // otherwise still arrive as a signal (and flush the line typed before it).
  void takeInterruptsAsKeys(bool on);
  // Puts the terminal back as it was found: for a process that leaves while a line is
  // being read (from another thread).
  void restoreTerminal();

  struct Impl;  // libedit's state, reached from its key callbacks

 private:
  Impl* impl_;
};
