#pragma once
// The README's sessions as the tests type them: its sections, the lines shown typed at
// the prompt, the road's repository made by its shell lines, and a terminal session that
// types them as a person would.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "ApplicationProcess.h"
#include "PseudoTerminal.h"
#include "foundation/Files.h"
#include "support/TempDir.h"

namespace ReadmeSessions {
inline std::string readme() { return Files::readText(QB_SOURCE_DIR "/README.md").value_or(""); }

// The README's text from the heading `title` to the next heading.
inline std::string section(const std::string& text, const std::string& title) {
  size_t start = text.find("\n## " + title + "\n");
  if (start == std::string::npos) return {};
  size_t end = text.find("\n## ", start + 1);
  return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// The lines shown typed at the prompt, as a person copies them from the page: each with
// the prompt's "> " before it and its comment after it, both of which the prompt reads
// past.
inline std::string typedLines(const std::string& text) {
  std::string script;
  for (size_t at = text.find("\n    > "); at != std::string::npos; at = text.find("\n    > ", at + 1)) {
    size_t start = at + 5;
    script += text.substr(start, text.find('\n', start) - start) + "\n";
  }
  return script;
}

inline void replaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

// Runs the shell lines the section shows after `lead` (up to the next blank line), with
// "/tmp/" read as `dir`.
inline void runShellLines(const std::string& text, const std::string& lead, TempDir& dir) {
  size_t block = text.find(lead + "\n\n");
  ASSERT_NE(block, std::string::npos) << text;
  block += lead.size() + 2;
  std::string shell = text.substr(block, text.find("\n\n", block) - block);
  replaceAll(shell, "/tmp/", dir.path() + "/");
  auto made = Process::run("/bin/sh", {"-ec", shell});
  ASSERT_EQ(made.status, 0) << shell << "\n" << made.output;
}

// The road's repository, made by the README's shell lines under `dir`.
inline void makeRoadRepository(TempDir& dir) {
  runShellLines(section(readme(), "Adding a repository and installing a package by hand"), "make one:", dir);
}

// A README session at a terminal, pasted whole as a person copies it from the page:
// every line must work in its turn, with the waits as written, whatever else the
// machine is doing.
class TypedSession {
 public:
  explicit TypedSession(const std::string& device, const std::vector<std::string>& moreArguments = {})
      : terminal_(ApplicationProcess::kPath, arguments(device, moreArguments), {{"NO_COLOR", "1"}}) {}
  bool started() { return terminal_.waitFor("(type help") && terminal_.waitFor("> "); }
  std::string output() { return terminal_.output(); }
  // Pastes the session, then leaves with quit once every line of it has run (the
  // terminal keeps what is pasted while a command runs, so the lines run in turn).
  void pasteAll(const std::string& script) {
    size_t from = terminal_.output().size();
    std::string keys = script + "quit\n";
    std::replace(keys.begin(), keys.end(), '\n', '\r');
    terminal_.paste(keys);
    auto status = terminal_.waitForExit(480);
    std::string printed = terminal_.output().substr(from);
    ASSERT_EQ(status, 0) << "the session did not end:\n" << script << "\n" << printed;
    ASSERT_EQ(printed.find("\n! "), std::string::npos) << "a line of the README fails:\n" << script << "\n" << printed;
  }

 private:
  static std::vector<std::string> arguments(const std::string& device, std::vector<std::string> more) {
    more.insert(more.begin(), {"--device-root", device});
    return more;
  }
  PseudoTerminal terminal_;
};

inline Process::Outcome installedPackages(TempDir& dir, const std::string& device) {
  return Process::run("/usr/bin/dpkg-query", {"--admindir=" + dir.file(device + "/var/lib/dpkg"), "-W", "-f",
                                              "${Package} ${db:Status-Status}\n"});
}

}  // namespace ReadmeSessions
