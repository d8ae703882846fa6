#pragma once
// The built application on a pseudo-terminal of its own, driven line by line as a person
// types, waiting on what it prints (never on a guess of time).
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "ApplicationProcess.h"
#include "PseudoTerminal.h"

class TerminalRoad {
 public:
  // Starts the application on `device`; `prompted`: waits for its first prompt.
  explicit TerminalRoad(const std::string& device, bool prompted = true)
      : terminal_(ApplicationProcess::kPath, std::vector<std::string>{"--device-root", device}, {{"NO_COLOR", "1"}}, 250) {
    EXPECT_TRUE(terminal_.started());
    if (prompted) {
      EXPECT_TRUE(terminal_.waitFor("(type help for the commands, quit to leave)")) << terminal_.output();
    }
  }
  PseudoTerminal& terminal() { return terminal_; }

  // Types a line and waits for `expected` in what it prints.
  void line(const std::string& keys, const std::string& expected) {
    terminal_.send(keys + "\r");
    ASSERT_TRUE(terminal_.waitFor(expected, 60)) << "after " << keys << ":\n" << terminal_.sinceLastMatch();
  }
  // What a line prints, up to the next prompt.
  std::string printedBy(const std::string& keys) {
    terminal_.send(keys + "\r");
    // From the line's own echo: a prompt printed before it (after an earlier line's
    // screen, not yet read) is not the end of what this line prints.
    if (!terminal_.waitFor(keys, 60)) return "(the line was not echoed)";
    size_t from = terminal_.output().size() - terminal_.sinceLastMatch().size();
    if (!terminal_.waitFor("\n> ", 60)) return "(no prompt came back)";
    return terminal_.output().substr(from);
  }
  // Types the line again and again until what it prints shows `expected`: for what the
  // application does in the background. The print that showed it goes to `shown`.
  void until(const std::string& keys, const std::string& expected, double seconds = 120, std::string* shown = nullptr) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    std::string printed;
    while (std::chrono::steady_clock::now() < deadline) {
      printed = printedBy(keys);
      if (shown) *shown = printed;
      if (printed.find(expected) != std::string::npos) return;
    }
    FAIL() << "no \"" << expected << "\" after " << keys << ":\n" << printed;
  }
  // Adds the repository at `location` and waits for its refresh to end.
  void addSource(const std::string& location) {
    ASSERT_NO_FATAL_FAILURE(line("open quillbark://add/" + location, "alert: Add repository"));
    ASSERT_NO_FATAL_FAILURE(line("tap Yes", "[Continue]"));  // the warning about plain http
    ASSERT_NO_FATAL_FAILURE(line("tap Continue", "title: Featured"));
    ASSERT_NO_FATAL_FAILURE(until("screen", "floating: Refresh Complete"));
  }
  // The source's package list, from its page.
  void openList(const std::string& location, const std::string& row) {
    ASSERT_NO_FATAL_FAILURE(line("open quillbark://add/" + location, "[Packages]"));
    ASSERT_NO_FATAL_FAILURE(line("tap Packages", row));
  }
  // Queues the row of the source's list and confirms the queue: the verbose log opens.
  void queueAndConfirm(const std::string& location, const std::string& row) {
    ASSERT_NO_FATAL_FAILURE(openList(location, row));
    ASSERT_NO_FATAL_FAILURE(line("swipe " + row + " Queue", "(install)"));
    ASSERT_NO_FATAL_FAILURE(line("close", "title: Featured"));
    ASSERT_NO_FATAL_FAILURE(until("screen", "floating: Queue | 1 Package"));
    // The card gives way to a refresh's progress for a moment when one starts.
    ASSERT_NO_FATAL_FAILURE(until("tap Queue", "Main Packages to Proceed", 60));
    ASSERT_NO_FATAL_FAILURE(until("screen", "[Confirm]\r"));
    ASSERT_NO_FATAL_FAILURE(line("tap Confirm", "title: Tasks"));
  }

 private:
  PseudoTerminal terminal_;
};
