#pragma once
// A program run on a pseudo-terminal of its own, as a person's terminal would run it:
// its standard streams are the terminal, keys are sent as bytes, and what it prints is
// read back (with whatever cursor codes the line editor adds).
#include <sys/types.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/TempDir.h"

class PseudoTerminal {
 public:
  // A terminal of 40 rows and `columns` columns. The program keeps its state (the
  // prompt's history) in a folder of this terminal's own unless `environment` names one.
  PseudoTerminal(const std::string& program, const std::vector<std::string>& arguments,
                 const std::map<std::string, std::string>& environment = {}, unsigned short columns = 100);
  ~PseudoTerminal();  // kills a program still running
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  void send(const std::string& keys);
  // Sends `keys` at once, as a terminal pastes a block, reading what the program prints
  // meanwhile so that neither side's buffer holds the other up.
  void paste(const std::string& keys);
  // Reads until `text` shows after the last match (or the start); false when the time
  // runs out or the program's output ends first.
  bool waitFor(const std::string& text, double seconds = 20);
  // Everything printed since the last match.
  std::string sinceLastMatch() const { return output_.substr(matched_); }
  const std::string& output() const { return output_; }
  // The exit status (128 + N for signal N), once the program has ended.
  std::optional<int> waitForExit(double seconds = 20);

 private:
  bool readSome(int timeoutMs);
  TempDir state_;
  int master_ = -1;
  pid_t pid_ = -1;
  std::string output_;
  size_t matched_ = 0;
  std::optional<int> status_;
};
